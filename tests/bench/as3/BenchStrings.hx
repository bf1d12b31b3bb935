// String building: concatenation, number-to-text, character codes and splitting every frame.
class BenchStrings {
  static var frame = 0;

  static function main() {
    flash.Lib.current.addEventListener(flash.events.Event.ENTER_FRAME, onFrame);
  }

  static function onFrame(_) {
    frame++;
    var s = "";
    for (i in 0...1500) s += "item" + (i + frame) + ",";
    var sum = 0;
    for (i in 0...s.length) sum += s.charCodeAt(i);
    var parts = s.split(",");
    var joined = parts.join(";");
    var upper = joined.toUpperCase();
    if (frame % 50 == 0) untyped __global__["trace"]("frame " + frame + " " + sum + " " + parts.length + " " + upper.length);
  }
}
