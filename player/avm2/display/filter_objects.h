// flash.filters for ActionScript 3, and the conversion between filter objects and the Filter
// the renderer draws, for DisplayObject.filters and BitmapData.applyFilter.
#pragma once

#include <optional>
#include <span>
#include <vector>

#include "player/avm2/natives.h"
#include "player/avm2/value.h"
#include "player/render/filters.h"

namespace flashsaver::avm2 {

class Vm;

// BitmapFilter and its subclasses, base first.
std::span<const NativeClass* const> FilterClasses();

// Whether the value is an instance of one of the filter classes.
bool IsFilterObject(const Value& value);
// The filter a filter object draws; nothing for other values and for the filters the renderer
// does not draw (DisplacementMapFilter, ShaderFilter).
std::optional<Filter> FilterOfObject(const Value& value);
// A new object of the class that draws filter, as DisplayObject.filters returns it.
Value ObjectOfFilter(Vm& vm, const Filter& filter);

// DisplayObject.filters: the filters an array (or Vector) of filter objects draws, in order;
// null and undefined are none. Anything but a filter object in it throws ArgumentError #2005,
// as Flash does. Filters the renderer does not draw are left out.
std::vector<Filter> FiltersOfArray(Vm& vm, const Value& array);
// A new Array of new filter objects, as DisplayObject.filters reads back.
Value ArrayOfFilters(Vm& vm, std::span<const Filter> filters);
// A copy of a filter object (its class's clone()).
Value CloneFilter(Vm& vm, const Value& filter);

// A DisplacementMapFilter's settings, for BitmapData.applyFilter.
struct DisplacementSettings {
  Value map_bitmap;
  int32_t map_x = 0, map_y = 0;
  uint32_t component_x = 0, component_y = 0;
  double scale_x = 0, scale_y = 0;
  int mode = 0;         // 0 wrap, 1 clamp, 2 ignore, 3 color
  uint32_t colour = 0;  // straight ARGB
};
std::optional<DisplacementSettings> DisplacementOfObject(Vm& vm, const Value& value);

}  // namespace flashsaver::avm2
