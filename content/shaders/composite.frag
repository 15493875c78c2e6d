// Last step of the glow: the scene picture plus its blurred bright parts, a
// flash on every beat, a vignette and a fade.
precision mediump float;
uniform sampler2D Vomra_un_TextureSampler0;
uniform sampler2D Vomra_un_TextureSampler1;
uniform float Vomra_un_Time;
uniform float strength;
uniform float fade;
varying vec2 uv;

void main() {
    float beat = exp(-mod(Vomra_un_Time, 500.0) * 0.01);
    vec3 scene = texture2D(Vomra_un_TextureSampler0, uv).rgb;
    vec3 glow = texture2D(Vomra_un_TextureSampler1, uv).rgb;
    vec3 c = scene + glow * strength * (0.7 + 0.6 * beat);
    float vignette = 1.0 - 0.7 * dot(uv - 0.5, uv - 0.5);
    gl_FragColor = vec4(c * vignette * fade, 1.0);
}
