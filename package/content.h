// Loads paths, settings and media lists in their order.
#pragma once

namespace flashsaver {

void LoadContent();

}  // namespace flashsaver
