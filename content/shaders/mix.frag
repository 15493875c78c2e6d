// Blends the picture drawn at start with a moving plasma.
precision mediump float;
uniform sampler2D Vomra_un_TextureSampler0;
uniform sampler2D Vomra_un_TextureSampler1;
uniform float Vomra_un_Time;
varying vec2 uv;

void main() {
    float t = Vomra_un_Time * 0.001;
    vec2 r = uv - 0.5;
    float a = t * 0.5;
    vec2 turned = vec2(cos(a) * r.x - sin(a) * r.y, sin(a) * r.x + cos(a) * r.y) + 0.5;
    vec3 title = texture2D(Vomra_un_TextureSampler0, turned).rgb;
    vec3 plasma = texture2D(Vomra_un_TextureSampler1, uv).rgb;
    gl_FragColor = vec4(mix(plasma * 0.6, title, 0.6), 1.0);
}
