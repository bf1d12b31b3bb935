// The built-in classes and global functions, one file each; InstallBuiltins calls them in
// dependency order (Object and Function first).
#pragma once

#include "player/avm1/vm.h"

namespace flashsaver::avm1 {

void InstallBuiltins(Vm& vm);

void InstallObject(Vm& vm);
void InstallFunction(Vm& vm);
void InstallGlobals(Vm& vm);
void InstallBoolean(Vm& vm);
void InstallNumber(Vm& vm);
void InstallMath(Vm& vm);
void InstallString(Vm& vm);
void InstallArray(Vm& vm);
void InstallDate(Vm& vm);
void InstallError(Vm& vm);
void InstallAsBroadcaster(Vm& vm);
void InstallXmlNode(Vm& vm);
void InstallXml(Vm& vm);
void InstallExternalInterface(Vm& vm);
void InstallLoadVars(Vm& vm);
void InstallTextFormat(Vm& vm);
void InstallSystem(Vm& vm);
void InstallSharedObject(Vm& vm);
void InstallGeom(Vm& vm);
void InstallAsNative(Vm& vm);
void InstallAbsentServices(Vm& vm);

// escape() and unescape(): every byte but letters and digits as %XX; '+' reads as a space.
std::string UrlEscape(std::string_view s);
std::string UrlUnescape(std::string_view s);

// load(url) and sendAndLoad(url, target) of XML and LoadVars: a local file's text through
// the object's onData (undefined when it cannot be read).
Value LoadLocal(Vm& vm, const CallArgs& c);
Value SendAndLoadLocal(Vm& vm, const CallArgs& c);

// Writes every SharedObject the movie got to disk, as the player does when a movie ends.
void FlushSharedObjects(Vm& vm);

// The global `flash` package object, made when missing. It is found whatever the running
// movie's version (a movie before SWF 8 sees it only once it clears its version flag).
Object* FlashPackage(Vm& vm);

// Array.sort's comparison of two values under the sort flags (also used by sortOn).
int CompareForSort(Vm& vm, const Value& a, const Value& b, int flags);

}  // namespace flashsaver::avm1
