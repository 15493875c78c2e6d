// First step of the glow: the bright parts of a picture, drawn into a smaller
// target. Passes keep the output's viewport, so a target of `scale` holds the
// lower left `scale` of the quad: its own coordinates are uv / scale.
precision mediump float;
uniform sampler2D Vomra_un_TextureSampler0;
uniform float scale;
uniform float threshold;
varying vec2 uv;

void main() {
    vec2 at = uv / scale;
    vec3 c = texture2D(Vomra_un_TextureSampler0, at).rgb;
    float luma = dot(c, vec3(0.3, 0.59, 0.11));
    gl_FragColor = vec4(c * smoothstep(threshold, threshold + 0.25, luma), 1.0);
}
