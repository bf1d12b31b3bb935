// Memory: arrays, objects, strings, closures and cycles made and dropped every frame. Played for
// many frames, the player's memory must stay flat.
class Node {
  public var other:Node;
  public var data:Array<Int>;
  public var label:String;

  public function new(label:String) {
    this.label = label;
    data = [for (i in 0...8) i];
  }
}

class BenchGarbage {
  static var frame = 0;
  static var keep:Array<Dynamic> = [];

  static function main() {
    flash.Lib.current.addEventListener(flash.events.Event.ENTER_FRAME, onFrame);
  }

  static function onFrame(_) {
    frame++;
    var made:Array<Dynamic> = [];
    for (i in 0...200) {
      var a = new Node("a" + i + "_" + frame);
      var b = new Node("b" + i);
      a.other = b;
      b.other = a;  // a cycle
      var base = i;
      var f = function(k:Int) return k + base + a.data.length;  // a closure holding the cycle
      var o:Dynamic = {name: "o" + i, list: [i, i + 1, i + 2], fn: f, self: null};
      o.self = o;
      made.push(o);
    }
    // A few survive a few frames, then go.
    keep.push(made[frame % made.length]);
    if (keep.length > 30) keep.shift();
    if (frame % 1000 == 0) untyped __global__["trace"]("frame " + frame + " " + keep.length);
  }
}
