// Object creation and method calls: small class instances made, linked and asked every frame.
class Particle {
  public var x:Float;
  public var y:Float;
  public var vx:Float;
  public var vy:Float;
  public var next:Particle;

  public function new(x:Float, y:Float, vx:Float, vy:Float) {
    this.x = x;
    this.y = y;
    this.vx = vx;
    this.vy = vy;
  }

  public function step(dt:Float):Void {
    x += vx * dt;
    y += vy * dt;
    if (x < 0 || x > 550) vx = -vx;
    if (y < 0 || y > 400) vy = -vy;
  }

  public function energy():Float {
    return 0.5 * (vx * vx + vy * vy);
  }
}

class BenchObjects {
  static var frame = 0;

  static function main() {
    flash.Lib.current.addEventListener(flash.events.Event.ENTER_FRAME, onFrame);
  }

  static function onFrame(_) {
    frame++;
    var head:Particle = null;
    for (i in 0...2000) {
      var p = new Particle(i % 550, (i * 7) % 400, (i % 11) - 5, (i % 7) - 3);
      p.next = head;
      head = p;
    }
    var total:Float = 0;
    for (round in 0...5) {
      var p = head;
      while (p != null) {
        p.step(0.5);
        total += p.energy();
        p = p.next;
      }
    }
    if (frame % 50 == 0) untyped __global__["trace"]("frame " + frame + " " + Std.int(total));
  }
}
