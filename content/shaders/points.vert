// Particles of a point curve, in the unit square of the full-screen camera.
attribute vec4 Vomra_va_Location;
uniform mat4 Vomra_un_Projection;
uniform mat4 Vomra_un_View;
uniform mat4 Vomra_un_Model;

void main() {
    gl_Position = Vomra_un_Projection * Vomra_un_View * Vomra_un_Model * vec4(Vomra_va_Location.xyz, 1.0);
    gl_PointSize = 4.0;
}
