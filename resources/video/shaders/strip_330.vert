#version 330
// The pre-transformed strip: positions are window pixels (y downwards)
// shifted by -0.5 so that pixel centres meet texel centres.
uniform vec2 target;  // window size in pixels
in vec4 position;
in vec4 diffuse;
in vec2 texcoord;
out vec2 tc;
out vec4 color;

void main() {
  vec2 p = (position.xy + 0.5) / target;
  gl_Position = vec4(p.x * 2.0 - 1.0, 1.0 - p.y * 2.0, 0.0, 1.0);
  tc = texcoord;
  color = diffuse;
}
