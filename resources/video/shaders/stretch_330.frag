#version 330
// The stretch pass: one frame texture (32-bit RGB) or two (NV12: luma and
// interleaved chroma) into the window-sized texture, converting NV12 to RGB
// with the frame's matrix (limited range). NV12 is defined for the NV12
// program.
in vec2 tc;
out vec4 fragColor;
#ifdef NV12
uniform sampler2D planeY;
uniform sampler2D planeUV;
uniform mat3 yuvToRgb;
uniform vec3 yuvOffset;
void main() {
  vec3 yuv = vec3(texture(planeY, tc).r, texture(planeUV, tc).rg) - yuvOffset;
  fragColor = vec4(yuvToRgb * yuv, 1.0);
}
#else
uniform sampler2D frame;
void main() { fragColor = vec4(texture(frame, tc).rgb, 1.0); }
#endif
