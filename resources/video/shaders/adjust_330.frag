#version 330
// Picture adjustment ("PS3" variant): sharpening, hue rotation, contrast,
// brightness, saturation and vibrance over the window-sized texture S0.
// The constant registers keep their numbers: c[0] is p1, c[3]..c[8] the
// picture values; only x is read of c[3]..c[8]. No clamping inside; the
// render target clamps each channel to 0..1.

uniform sampler2D S0;
uniform vec4 c[9];
#define p1 c[0]
#define Brightness c[3].x
#define Contrast c[4].x
#define Hue c[5].x
#define Saturation c[6].x
#define Vibrance c[7].x
#define sharp_strength c[8].x

in vec2 tc;
in vec4 color;
out vec4 fragColor;

void main() {
  vec4 px = texture(S0, tc);

  if (sharp_strength > 0.0) {
    vec4 q = texture(S0, tc + vec2(0.24, -0.72) * p1.xy) +
             texture(S0, tc + vec2(-0.72, -0.24) * p1.xy) +
             texture(S0, tc + vec2(0.72, 0.24) * p1.xy) +
             texture(S0, tc + vec2(-0.24, 0.72) * p1.xy);
    vec4 high = px - q / 4.0;
    float amount = sharp_strength * dot(high.rgb, vec3(0.325278, 1.094256, 0.110466));
    px += vec4(amount);
  }

  float h = 6.283185307 * fract(Hue / 720.0 + 0.5) - 3.141592654;
  float p = sin(h) * 0.57735;
  float k = cos(h) * p;
  float A = 2.0 * (p * p - k);
  float B = 2.0 * (p * p + k);
  float D = 1.0 - 4.0 * p * p;
  vec3 rgb = vec3(D * px.r + A * px.g + B * px.b,
                  B * px.r + D * px.g + A * px.b,
                  A * px.r + B * px.g + D * px.b);

  rgb = (rgb - 0.5) * (1.0 + Contrast) + Brightness + 0.5;

  float L = dot(rgb, vec3(0.2126, 0.7152, 0.0722));
  rgb = L + Saturation * (rgb - L);

  vec4 result = vec4(rgb, px.a);
  if (Vibrance > 0.0) {
    float m = max(max(rgb.r, rgb.g), rgb.b) - min(min(rgb.r, rgb.g), rgb.b);
    float f = 1.0 + Vibrance * (1.0 - m);
    float L2 = dot(rgb, vec3(0.2126, 0.7152, 0.0722));
    result = L2 + f * (result - L2);
  }
  fragColor = result;
}
