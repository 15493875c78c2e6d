// Deep water behind the serpent: a dark gradient with drifting light bands
// that brighten on every beat.
precision mediump float;
uniform float Vomra_un_Time;
uniform vec3 tint;
varying vec2 uv;

void main() {
    float t = Vomra_un_Time * 0.001;
    float beat = exp(-mod(Vomra_un_Time, 500.0) * 0.006);
    float bands = sin(uv.x * 9.0 + sin(uv.y * 5.0 + t) * 1.5 + t * 0.7) *
                  sin(uv.y * 7.0 - t * 0.5 + sin(uv.x * 4.0 - t * 0.8));
    float light = pow(max(bands, 0.0), 3.0) * (0.5 + 0.5 * beat);
    vec3 c = mix(vec3(0.01, 0.03, 0.06), vec3(0.05, 0.16, 0.22), uv.y) + light * tint;
    gl_FragColor = vec4(c, 1.0);
}
