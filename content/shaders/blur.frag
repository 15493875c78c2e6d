// One direction of a separable blur between two targets of the same `scale`
// (coordinates as in bright.frag); `axis` is (1, 0) or (0, 1).
precision mediump float;
uniform sampler2D Vomra_un_TextureSampler0;
uniform ivec2 Vomra_un_ViewportSize;
uniform float scale;
uniform vec2 axis;
varying vec2 uv;

void main() {
    vec2 at = uv / scale;
    vec2 step = 2.0 * axis / (vec2(Vomra_un_ViewportSize) * scale);
    vec3 sum = texture2D(Vomra_un_TextureSampler0, at).rgb * 0.2270;
    sum += (texture2D(Vomra_un_TextureSampler0, at + step).rgb +
            texture2D(Vomra_un_TextureSampler0, at - step).rgb) * 0.1945;
    sum += (texture2D(Vomra_un_TextureSampler0, at + 2.0 * step).rgb +
            texture2D(Vomra_un_TextureSampler0, at - 2.0 * step).rgb) * 0.1216;
    sum += (texture2D(Vomra_un_TextureSampler0, at + 3.0 * step).rgb +
            texture2D(Vomra_un_TextureSampler0, at - 3.0 * step).rgb) * 0.0540;
    sum += (texture2D(Vomra_un_TextureSampler0, at + 4.0 * step).rgb +
            texture2D(Vomra_un_TextureSampler0, at - 4.0 * step).rgb) * 0.0162;
    gl_FragColor = vec4(sum, 1.0);
}
