// Two lights from the scene file (an ambient and a directional one) on the
// file's material and texture, with a rim glow that follows the music's beat
// (a beat every 500 ms; parts start on beats).
precision mediump float;
uniform mat4 Vomra_un_LightWorldTransform[2];
uniform vec3 Vomra_un_LightColor[2];
uniform float Vomra_un_LightIntensity[2];
uniform int Vomra_un_LightType[2];
uniform vec4 Vomra_un_MaterialAmbient;
uniform vec4 Vomra_un_MaterialDiffuse;
uniform vec4 Vomra_un_MaterialSpecular;
uniform float Vomra_un_MaterialShininess;
uniform sampler2D Vomra_un_TextureSampler0;
uniform float Vomra_un_Time;
uniform vec3 rim;
varying vec3 normal;
varying vec3 toEye;
varying vec2 uv;

void main() {
    vec3 n = normalize(normal);
    vec3 v = normalize(toEye);
    vec3 base = texture2D(Vomra_un_TextureSampler0, uv).rgb;
    vec3 colour = vec3(0.0);
    for (int i = 0; i < 2; ++i) {
        vec3 light = Vomra_un_LightColor[i] * Vomra_un_LightIntensity[i];
        if (Vomra_un_LightType[i] == 0) {
            colour += light * Vomra_un_MaterialAmbient.rgb * base * 2.0;
        } else {
            // A directional light shines down its node's -Z axis.
            vec3 toLight = normalize(Vomra_un_LightWorldTransform[i][2].xyz);
            float diffuse = max(dot(n, toLight), 0.0);
            vec3 halfway = normalize(toLight + v);
            float specular = pow(max(dot(n, halfway), 0.0), max(Vomra_un_MaterialShininess, 1.0));
            colour += light * (diffuse * Vomra_un_MaterialDiffuse.rgb * base +
                               specular * Vomra_un_MaterialSpecular.rgb);
        }
    }
    float beat = exp(-mod(Vomra_un_Time, 500.0) * 0.008);
    float edge = pow(1.0 - max(dot(n, v), 0.0), 3.0);
    colour += edge * rim * (0.4 + 0.6 * beat);
    gl_FragColor = vec4(colour, 1.0);
}
