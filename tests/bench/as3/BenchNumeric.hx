// Typed numeric loops: int and Number arithmetic in local variables, a fixed amount per frame.
class BenchNumeric {
  static var frame = 0;

  static function main() {
    flash.Lib.current.addEventListener(flash.events.Event.ENTER_FRAME, onFrame);
  }

  static function work(seed:Int):Float {
    var acc:Float = 0;
    var bits:Int = seed;
    for (i in 0...20000) {
      bits = (bits * 1103515245 + 12345) & 0x7fffffff;
      var x:Float = (bits >> 8) / 8388608.0;
      acc += x * x - 0.5 * x + Math.sqrt(x);
      if ((i & 7) == 0) acc -= Std.int(acc) * 0.5;
    }
    return acc;
  }

  static function onFrame(_) {
    frame++;
    var r = work(frame);
    if (frame % 50 == 0) untyped __global__["trace"]("frame " + frame + " " + Std.int(r * 1000));
  }
}
