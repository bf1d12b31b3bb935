import flash.display.Sprite;
import flash.display.Shape;
import flash.display.DisplayObject;
import flash.events.Event;

// Display list rules checked by the unit tests: child order by index, the errors of bad
// indices and bad children, removal and re-adding, and drawing animated in enterFrame.
class Main extends Sprite {
  static function log(s:Dynamic) { untyped __global__["trace"](s); }
  function names(c:Sprite):String {
    return [for (i in 0...c.numChildren) c.getChildAt(i).name].join(",");
  }
  var box:Sprite;
  var frame = 0;
  public function new() {
    super();
    var a = new Sprite(); a.name = "a";
    var b = new Sprite(); b.name = "b";
    var c = new Shape(); c.name = "c";
    addChild(a); addChild(b); addChildAt(c, 0);
    log(names(this));
    setChildIndex(a, 2); log(names(this));
    swapChildren(a, c); log(names(this));
    swapChildrenAt(0, 2); log(names(this));
    try { getChildAt(5); } catch (e:flash.errors.Error) { log("at5 " + e.errorID); }
    try { addChild(this); } catch (e:flash.errors.Error) { log("self " + e.errorID); }
    try { a.addChild(this); } catch (e:flash.errors.Error) { log("loop " + e.errorID); }
    try { removeChild(new Sprite()); } catch (e:flash.errors.Error) { log("notmine " + e.errorID); }
    a.addChild(b);
    log(names(this) + " " + names(a) + " " + (b.parent == a) + " " + contains(b));
    removeChild(a);
    log(numChildren + " " + (a.parent == null) + " " + (a.stage == null) + " " + (b.root == null));
    addChild(a);
    log((a.stage != null) + " " + (b.stage != null) + " " + getChildIndex(a));
    box = new Sprite();
    box.graphics.beginFill(0x3366CC);
    box.graphics.drawRect(-10, -5, 20, 10);
    box.graphics.endFill();
    box.x = 50; box.y = 40;
    addChild(box);
    log(box.width + " " + box.height);
    box.scaleX = 2; box.rotation = 90;
    log(box.width + " " + box.height + " " + box.scaleX + " " + box.rotation);
    var p = new flash.display.MovieClip();
    p.rotation = 270; p.alpha = 0.3; p.x = 1.234; p.y = -2.26;
    log(p.rotation + " " + p.alpha + " " + p.x + " " + p.y + " " + p.currentFrame + " " + p.totalFrames);
    p.rotation = -190; p.scaleY = -1; p.visible = false;
    log(p.rotation + " " + p.scaleY + " " + p.visible + " " + (p.parent == null) + " " + p.numChildren);
    addEventListener(Event.ENTER_FRAME, tick);
  }
  function tick(e:Event) {
    frame++;
    box.x += 10;
    if (frame == 3) log("frame3 " + box.x);
  }
  static function main() {
    flash.Lib.current.addChild(new Main());
  }
}
