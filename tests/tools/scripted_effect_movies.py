#!/usr/bin/env python3
"""Writes small SWF 8 movies whose script sets a clip's filters or blendMode, one per filter
and blend mode, to compare swfplay's pictures with a reference player's:

    python3 tests/tools/scripted_effect_movies.py OUT_DIR
    build/native/bin/swfplay OUT_DIR/glow.swf --frames 1 --png mine.png

Each movie: a grey stage, a cyan square ("under") and a red square ("top") over it; frame 1's
script sets top's effect."""
import os
import struct
import sys

# Actions: push literals, read and set variables and members, new, arrays, method calls.
def s(x): return b'\x00'+x.encode()+b'\x00'
def num(v):
    if isinstance(v,bool): return b'\x05'+bytes([1 if v else 0])
    if v is None: return b'\x03'
    if isinstance(v,str): return s(v)
    d=struct.pack('<d',float(v)); return b'\x06'+d[4:]+d[:4]
def push(*vals):
    body=b''.join(num(v) for v in vals); return b'\x96'+struct.pack('<H',len(body))+body
def op(c): return bytes([c])
class A:
    def __init__(s): s.b=b''
    def raw(s,x): s.b+=x; return s
    def val(s,v):
        # v: literal, ('var',name), ('get',expr,name), ('new',cls,args), ('arr',items), ('call',obj,name,args)
        if isinstance(v,tuple):
            k=v[0]
            if k=='var': s.raw(push(v[1])+op(0x1C))
            elif k=='get': s.val(v[1]); s.raw(push(v[2])+op(0x4E))
            elif k=='new':
                for a in reversed(v[2]): s.val(a)
                s.raw(push(len(v[2]))); s.val(('get',('var','flash'),'filters')); s.raw(push(v[1])+op(0x53))
            elif k=='arr':
                for a in reversed(v[1]): s.val(a)
                s.raw(push(len(v[1]))+op(0x42))
            elif k=='call':
                for a in reversed(v[3]): s.val(a)
                s.raw(push(len(v[3]))); s.val(v[1]); s.raw(push(v[2])+op(0x52))
        else: s.raw(push(v))
        return s
    def setvar(s,name,v): s.raw(push(name)); s.val(v); return s.raw(op(0x1D))
    def setm(s,obj,name,v): s.val(obj); s.raw(push(name)); s.val(v); return s.raw(op(0x4F))
    def trace(s,v): s.val(v); return s.raw(op(0x26))
    def stmt(s,v): s.val(v); return s.raw(op(0x17))
def tag(code,body):
    return struct.pack('<HI',(code<<6)|0x3F,len(body))+body

class Bits:
    def __init__(s): s.bits=[]
    def u(s,v,n):
        for i in range(n-1,-1,-1): s.bits.append((v>>i)&1)
    def sb(s,v,n): s.u(v & ((1<<n)-1), n)
    def bytes(s):
        b=s.bits+[0]*((8-len(s.bits)%8)%8)
        return bytes(int(''.join(map(str,b[i:i+8])),2) for i in range(0,len(b),8))
def rect(x0,x1,y0,y1,nb=16):
    b=Bits(); b.u(nb,5)
    for v in (x0,x1,y0,y1): b.sb(v,nb)
    return b.bytes()
def square_shape(cid, w, h, rgb):
    # DefineShape: one solid fill, a w x h (twips) rectangle at the origin.
    body=struct.pack('<H',cid)+rect(0,w,0,h)
    body+=bytes([1,0, (rgb>>16)&255,(rgb>>8)&255,rgb&255, 0])  # 1 fill solid, 0 lines
    b=Bits(); b.u(1,4); b.u(0,4)
    # style change: moveTo + fill1
    b.u(0,1); b.u(0,1); b.u(0,1); b.u(1,1); b.u(0,1); b.u(1,1)  # flags: newstyles,line,fill1,fill0,move
    # order is TypeFlag(0), StateNewStyles, StateLineStyle, StateFillStyle1, StateFillStyle0, StateMoveTo
    b.u(16,5); b.sb(0,16); b.sb(0,16)
    b.u(1,1)  # fill0 index
    for dx,dy in ((w,0),(0,h),(-w,0),(0,-h)):
        b.u(1,1); b.u(1,1); b.u(14,4)  # edge, straight, numbits-2
        if dx and dy: b.u(1,1); b.sb(dx,16); b.sb(dy,16)
        elif dx: b.u(0,1); b.u(0,1); b.sb(dx,16)
        else: b.u(0,1); b.u(1,1); b.sb(dy,16)
    b.u(0,6)
    return tag(2, body+b.bytes())
def place2(depth, cid, tx=0, ty=0, name=None):
    flags=0x02|0x04|(0x20 if name else 0)
    b=Bits(); b.u(0,1); b.u(0,1)
    nb=max(abs(tx).bit_length(),abs(ty).bit_length())+1
    b.u(nb,5); b.sb(tx,nb); b.sb(ty,nb)
    body=bytes([flags])+struct.pack('<HH',depth,cid)+b.bytes()
    if name: body+=name.encode()+b'\x00'
    return tag(26, body)
def sprite(cid, tags):
    return tag(39, struct.pack('<HH',cid,1)+b''.join(tags)+tag(1,b'')+tag(0,b''))
def movie_tags(tags,path,bg=(255,255,255)):
    rectb=bytes([0x78,0x00,0x05,0x5F,0x00,0x00,0x0F,0xA0,0x00])
    body=rectb+struct.pack('<HH',24<<8,1)
    body+=tag(69,struct.pack('<I',0))+tag(9,bytes(bg))
    body+=b''.join(tags)+tag(1,b'')+tag(0,b'')
    open(path,'wb').write(b'FWS'+bytes([8])+struct.pack('<I',len(body)+8)+body)

CASES = {
    'glow': [('filters', ('arr', [('new', 'GlowFilter', [0x0000FF, 1, 16, 16, 2, 2])]))],
    'blur': [('filters', ('arr', [('new', 'BlurFilter', [20, 10, 3])]))],
    'shadow': [('filters', ('arr', [('new', 'DropShadowFilter', [12, 45, 0, 0.8, 8, 8, 1, 2])]))],
    'innerglow': [('filters', ('arr', [('new', 'GlowFilter', [0xFFFF00, 1, 20, 20, 3, 2, True])]))],
    'bevel': [('filters', ('arr', [('new', 'BevelFilter', [6, 45, 0xFFFFFF, 1, 0, 1, 8, 8, 2, 2])]))],
    'gradglow': [('filters', ('arr', [('new', 'GradientGlowFilter',
                                       [0, 45, ('arr', [0xFFFFFF, 0x00FF00, 0x0000FF]),
                                        ('arr', [0, 1, 1]), ('arr', [0, 128, 255]),
                                        20, 20, 2, 2, 'outer'])]))],
    'colormatrix': [('filters', ('arr', [('new', 'ColorMatrixFilter', [
        ('arr', [0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 1, 0])])]))],
    'convolution': [('filters', ('arr', [('new', 'ConvolutionFilter',
                                          [3, 3, ('arr', [0, 1, 0, 1, -4, 1, 0, 1, 0]), 1, 128])]))],
    'knockshadow': [('filters', ('arr', [('new', 'DropShadowFilter',
                                          [10, 90, 0x008000, 1, 4, 4, 1, 1, False, True])]))],
}
for mode in ['multiply', 'screen', 'lighten', 'darken', 'difference', 'add', 'subtract',
             'invert', 'overlay', 'hardlight']:
    CASES['blend_' + mode] = [('blendMode', mode)]
CASES['blend_num3'] = [('blendMode', 3)]


def main():
    out = sys.argv[1] if len(sys.argv) > 1 else '.'
    os.makedirs(out, exist_ok=True)
    for name, stmts in CASES.items():
        a = A()
        for prop, v in stmts:
            a.setm(('var', 'top'), prop, v)
        tags = [square_shape(1, 4000, 3000, 0xFF0000), square_shape(2, 4000, 3000, 0x00C0C0),
                sprite(3, [place2(1, 1)]), sprite(4, [place2(1, 2)]),
                place2(1, 4, 1000, 1000, 'under'), place2(2, 3, 3000, 2500, 'top'),
                tag(12, a.b + b'\x00')]
        movie_tags(tags, os.path.join(out, name + '.swf'), bg=(200, 200, 200))
    print(' '.join(CASES))


if __name__ == '__main__':
    main()
