// Animated plasma; speed and tint come from the script.
precision mediump float;
uniform float Vomra_un_Time;
uniform float speed;
uniform vec3 tint;
varying vec2 uv;

void main() {
    float t = Vomra_un_Time * 0.001 * speed;
    vec2 p = uv * 2.0 - 1.0;
    float v = sin(p.x * 6.0 + t) + sin(p.y * 7.0 - t * 1.3) +
              sin((p.x + p.y) * 5.0 + t * 0.7) + sin(length(p) * 9.0 - t * 2.0);
    vec3 c = 0.5 + 0.5 * sin(v * 1.6 + vec3(0.0, 2.1, 4.2));
    gl_FragColor = vec4(c * tint, 1.0);
}
