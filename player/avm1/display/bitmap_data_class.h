// flash.display.BitmapData in scripts, with MovieClip.attachBitmap and beginBitmapFill.
#pragma once

namespace flashsaver {

class ScriptHost;

// Needs flash.geom and MovieClip.prototype in place; SWF 8 movies and later see it.
void InstallBitmapDataClass(ScriptHost& host);

}  // namespace flashsaver
