#version 120
// The window-sized texture drawn unchanged, for a context on which the
// adjustment shader cannot be built.
uniform sampler2D S0;
varying vec2 tc;
varying vec4 color;
void main() { gl_FragColor = texture2D(S0, tc) * vec4(1.0, 1.0, 1.0, color.a); }
