// Vector.<Number> work: filling, a three-point smoothing pass and a dot product every frame.
class BenchVector {
  static var frame = 0;
  static var a = new flash.Vector<Float>(4096, true);
  static var b = new flash.Vector<Float>(4096, true);

  static function main() {
    for (i in 0...a.length) a[i] = (i % 97) / 97.0;
    flash.Lib.current.addEventListener(flash.events.Event.ENTER_FRAME, onFrame);
  }

  static function onFrame(_) {
    frame++;
    var n = a.length;
    for (round in 0...3) {
      b[0] = a[0];
      b[n - 1] = a[n - 1];
      for (i in 1...n - 1) b[i] = (a[i - 1] + 2 * a[i] + a[i + 1]) * 0.25;
      for (i in 0...n) a[i] = b[i] + ((i + frame) % 13) * 0.001;
    }
    var dot:Float = 0;
    for (i in 0...n) dot += a[i] * b[i];
    if (frame % 50 == 0) untyped __global__["trace"]("frame " + frame + " " + Std.int(dot));
  }
}
