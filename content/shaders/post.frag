// Reads the picture of an earlier pass: a wave, a vignette and a fade.
precision mediump float;
uniform sampler2D Vomra_un_TextureSampler0;
uniform float Vomra_un_Time;
uniform float fade;
varying vec2 uv;

void main() {
    float t = Vomra_un_Time * 0.001;
    vec2 q = uv + vec2(sin(uv.y * 20.0 + t * 3.0), cos(uv.x * 16.0 + t * 2.0)) * 0.01;
    vec3 c = texture2D(Vomra_un_TextureSampler0, q).rgb;
    float vignette = 1.0 - 0.8 * dot(uv - 0.5, uv - 0.5);
    gl_FragColor = vec4(c * vignette * fade, 1.0);
}
