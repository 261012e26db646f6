#version 120
// The stretch of the frame into the fitting rectangle (the viewport): the
// first row in memory of the window-sized texture is the picture's top row.
// flipV is 1 for frames whose first row in memory is the picture's bottom.
uniform float flipV;
attribute vec2 corner;  // -1..1
varying vec2 tc;

void main() {
  gl_Position = vec4(corner, 0.0, 1.0);
  float down = (corner.y + 1.0) * 0.5;
  tc = vec2((corner.x + 1.0) * 0.5, mix(down, 1.0 - down, flipV));
}
