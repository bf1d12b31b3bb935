// What the flash.display class files share: class specs, geometry of nodes, and the classes
// each file declares.
#pragma once

#include <optional>
#include <vector>

#include "player/avm2/display/display_node.h"
#include "player/avm2/natives.h"

namespace flashsaver {
// In the display list's property code: an object's content bounds under a matrix.
std::optional<SwfRect> ContentBounds(const DisplayObject& object, const Matrix& m, int level);
}  // namespace flashsaver

namespace flashsaver::avm2 {

NativeClass MakeDisplayClass(const char* package, const char* name, const char* super,
                             std::vector<NativeMember> instance, std::vector<NativeMember> statics,
                             NativeFn ctor = nullptr);
Object* CreateNodeObject(Vm& vm, ClassObject* cls);

// The matrix from a node's own twips to the stage's.
Matrix StageMatrixOf(const flashsaver::DisplayObject* node);
// A flash.geom object (Point, Rectangle) made with these arguments; a plain object with the
// same fields when flash.geom is not there.
Value MakeGeom(Vm& vm, const char* cls, std::initializer_list<std::pair<const char*, double>> f);

// Sprite's and Shape's `graphics`: one Graphics object per display object.
Value GetGraphics(Vm& vm, const Value& self, std::span<const Value> args);

void AddObjectClasses(std::vector<const NativeClass*>& out);     // DisplayObject and leaves
void AddContainerClasses(std::vector<const NativeClass*>& out);  // containers, Stage
void AddMovieClipClasses(std::vector<const NativeClass*>& out);  // MovieClip, FrameLabel, Scene
void AddGraphicsClasses(std::vector<const NativeClass*>& out);   // Graphics

// Every flash.display class bound to the display list, bases first.
std::span<const NativeClass* const> DisplayListClasses();

}  // namespace flashsaver::avm2
