#version 120
// The pre-transformed strip: positions are window pixels (y downwards)
// shifted by -0.5 so that pixel centres meet texel centres.
uniform vec2 target;  // window size in pixels
attribute vec4 position;
attribute vec4 diffuse;
attribute vec2 texcoord;
varying vec2 tc;
varying vec4 color;

void main() {
  vec2 p = (position.xy + 0.5) / target;
  gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, 0.0, 1.0);
  tc = texcoord;
  color = diffuse;
}
