// Scene geometry, skinned or not: world-space position and normal, and the
// texture coordinates through the texture's matrix. A skinned batch brings up
// to four bones per vertex (Vomra_un_BoneCount > 0), each bone matrix taking
// the vertex from the mesh's space straight to the world; bones are not scaled,
// so their upper 3x3 turns normals too.
attribute vec4 Vomra_va_Location;
attribute vec3 Vomra_va_Normal;
attribute vec2 Vomra_va_TexCoord;
attribute vec4 Vomra_va_BoneIndex;
attribute vec4 Vomra_va_BoneWeight;
uniform mat4 Vomra_un_Projection;
uniform mat4 Vomra_un_View;
uniform mat4 Vomra_un_Model;
uniform mat3 Vomra_un_ModelIT;
uniform int Vomra_un_BoneCount;
uniform mat4 Vomra_un_BoneModel[8];
uniform mat4 Vomra_un_TextureMatrix[8];
varying vec3 normal;
varying vec3 toEye;
varying vec2 uv;

void main() {
    vec4 local = vec4(Vomra_va_Location.xyz, 1.0);
    vec4 world;
    if (Vomra_un_BoneCount > 0) {
        world = vec4(0.0);
        normal = vec3(0.0);
        for (int i = 0; i < 4; ++i) {
            mat4 bone = Vomra_un_BoneModel[int(Vomra_va_BoneIndex[i])];
            float weight = Vomra_va_BoneWeight[i];
            world += weight * (bone * local);
            normal += weight * (mat3(bone[0].xyz, bone[1].xyz, bone[2].xyz) * Vomra_va_Normal);
        }
        world.w = 1.0;
    } else {
        world = Vomra_un_Model * local;
        // Normals may arrive as unnormalised bytes; direction is all that counts.
        normal = Vomra_un_ModelIT * Vomra_va_Normal;
    }
    // The camera sits at the view matrix's inverse translation.
    vec3 eye = (-Vomra_un_View[3].xyz) * mat3(Vomra_un_View);
    toEye = eye - world.xyz;
    uv = (Vomra_un_TextureMatrix[0] * vec4(Vomra_va_TexCoord, 0.0, 1.0)).xy;
    gl_Position = Vomra_un_Projection * Vomra_un_View * world;
}
