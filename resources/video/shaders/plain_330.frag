#version 330
// The window-sized texture drawn unchanged, for a context on which the
// adjustment shader cannot be built.
uniform sampler2D S0;
in vec2 tc;
in vec4 color;
out vec4 fragColor;
void main() { fragColor = texture(S0, tc) * vec4(1.0, 1.0, 1.0, color.a); }
