// Stripes drawn once at start into a target, then reused as a texture.
precision mediump float;
varying vec2 uv;

void main() {
    float band = step(0.5, fract(uv.y * 8.0));
    float ring = smoothstep(0.30, 0.31, distance(uv, vec2(0.5))) -
                 smoothstep(0.36, 0.37, distance(uv, vec2(0.5)));
    gl_FragColor = vec4(vec3(0.15 + 0.1 * band) + vec3(1.0, 0.8, 0.3) * ring, 1.0);
}
