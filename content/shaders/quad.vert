// Full-screen quad: positions are the unit square, the camera maps it onto the viewport.
attribute vec4 Vomra_va_Location;
uniform mat4 Vomra_un_Projection;
uniform mat4 Vomra_un_View;
uniform mat4 Vomra_un_Model;
varying vec2 uv;

void main() {
    uv = Vomra_va_Location.xy;
    gl_Position = Vomra_un_Projection * Vomra_un_View * Vomra_un_Model *
                  vec4(Vomra_va_Location.xy, 0.0, 1.0);
}
