// Lit scene geometry: world-space position and normal for the fragment shader.
attribute vec4 Vomra_va_Location;
attribute vec3 Vomra_va_Normal;
uniform mat4 Vomra_un_Projection;
uniform mat4 Vomra_un_View;
uniform mat4 Vomra_un_Model;
uniform mat3 Vomra_un_ModelIT;
varying vec3 normal;
varying vec3 toEye;

void main() {
    vec4 world = Vomra_un_Model * vec4(Vomra_va_Location.xyz, 1.0);
    // The camera sits at the view matrix's inverse translation.
    vec3 eye = (-Vomra_un_View[3].xyz) * mat3(Vomra_un_View);
    toEye = eye - world.xyz;
    // Normals may arrive as unnormalised bytes; direction is all that counts.
    normal = Vomra_un_ModelIT * Vomra_va_Normal;
    gl_Position = Vomra_un_Projection * Vomra_un_View * world;
}
