// The scene picture round `centre` folded into six mirrored wedges that turn
// slowly, with its glow; the wedges breathe with the bar.
precision mediump float;
uniform sampler2D Vomra_un_TextureSampler0;
uniform sampler2D Vomra_un_TextureSampler1;
uniform ivec2 Vomra_un_ViewportSize;
uniform float Vomra_un_Time;
uniform float fade;
uniform vec2 centre;
varying vec2 uv;

void main() {
    float t = Vomra_un_Time * 0.001;
    vec2 size = vec2(Vomra_un_ViewportSize);
    vec2 p = (uv - 0.5) * vec2(size.x / size.y, 1.0);
    float radius = length(p);
    float wedge = 3.14159265 / 3.0;
    float angle = mod(atan(p.y, p.x) + t * 0.25, 2.0 * wedge);
    angle = abs(angle - wedge);
    float zoom = 0.8 + 0.1 * sin(t * 3.14159265);
    vec2 q = vec2(cos(angle), sin(angle)) * radius * zoom;
    vec2 at = centre + q * vec2(size.y / size.x, 1.0);
    vec3 c = texture2D(Vomra_un_TextureSampler0, at).rgb + texture2D(Vomra_un_TextureSampler1, at).rgb;
    float vignette = 1.0 - 0.9 * radius * radius;
    gl_FragColor = vec4(c * vignette * fade, 1.0);
}
