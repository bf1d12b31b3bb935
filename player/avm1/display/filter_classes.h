// flash.filters in scripts: the filter classes of SWF 8, and the conversion between their
// objects and the Filter the renderer draws. Display objects' filters, blendMode and
// cacheAsBitmap read and write through these.
#pragma once

#include <optional>

#include "player/avm1/vm.h"
#include "player/display/bitmap_data_draw.h"
#include "player/render/filters.h"

namespace flashsaver {

class ScriptHost;

// BitmapFilter and its subclasses, as flash.filters.*, seen by SWF 8 movies and later.
void InstallFilterClasses(avm1::Vm& vm);

// The filter a filter object draws; nothing for other values and for DisplacementMapFilter,
// which keeps its properties but is not drawn.
std::optional<Filter> FilterOfObject(const avm1::Value& value);
// A new object of the class that draws filter, as a clip's `filters` returns it.
avm1::Value ObjectOfFilter(avm1::Vm& vm, const Filter& filter);

// A name or a number 1..14; nothing for anything else.
std::optional<uint8_t> BlendModeFromValue(avm1::Vm& vm, const avm1::Value& value);

// filters, blendMode and cacheAsBitmap on MovieClip.prototype and TextField.prototype.
void InstallEffectProperties(ScriptHost& host);

}  // namespace flashsaver
