#include "player/display/definition_tags.h"

namespace flashsaver {

// Scaffolding until this group's characters exist: the tag defines nothing.
void ReadShapeTag(const SwfTag&, CharacterLibrary&) {}

}  // namespace flashsaver
