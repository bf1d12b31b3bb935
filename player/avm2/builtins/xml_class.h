// The XML class, and its one-node methods that XMLList forwards to a list of one item.
#pragma once

#include "player/avm2/natives.h"

namespace flashsaver::avm2 {

const NativeClass& XmlClass();
const NativeClass& XmlListClass();
// isXMLName(v), a global function.
Value IsXmlNameFn(Vm& vm, const Value& self, std::span<const Value> args);
// The XML method of that name among those XMLList forwards; null for others.
NativeFn XmlMethodFor(const char* name);

}  // namespace flashsaver::avm2
