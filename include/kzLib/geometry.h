// View geometry: channel orientation, the off-axis view portal and the camera
// matrices. Right-handed, y up, a neutral view looks along -z; angles are in
// degrees except kzCamera::fovY (radians). Matrices follow kzMatrix4x4's
// element order and go to the GPU untransposed. On a non-zero result nothing
// is written.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"

// The camera looking from eye through the rectangle (upper-left, lower-left, lower-right corners); clipping planes untouched.
KZ_API kzResult kzGetOffAxisViewPortal(kzCamera* camera, kzVec3f eye, kzVec3f cornerUp,
                                       kzVec3f cornerOrigin, kzVec3f cornerRight);

// Heading (about +y), pitch (about +x) and roll (about +z) in degrees of a viewing direction and up vector.
KZ_API kzResult kzGetOrientation(kzVec3f* angles, kzVec3f direction, kzVec3f up);

// Viewing direction and up vector of (heading, pitch, roll) in degrees; positive pitch looks down.
KZ_API kzResult kzGetDirAndUp(kzVec3f* direction, kzVec3f* up, kzVec3f angles);

// Off-axis perspective projection of the camera, from fovY, aspect, shiftX, shiftY and the clipping distances.
KZ_API kzResult kzGetProjectionMatrix(kzMatrix4x4* matrix, kzCamera camera);

// Orthographic projection of the box [left, right] x [bottom, top] x [-zNear, -zFar].
KZ_API kzResult kzGetOrthoMatrix(kzMatrix4x4* matrix, float left, float right, float bottom,
                                 float top, float zNear, float zFar);

// World-to-eye matrix of the camera's position, direction and up vector.
KZ_API kzResult kzGetModelViewMatrix(kzMatrix4x4* matrix, kzCamera camera);

// Model-view x projection of the camera; KZ_ERROR_INVALID_DATA if matrix is null.
KZ_API kzResult kzGetModelViewProjectionMatrix(kzMatrix4x4* matrix, kzCamera camera);

// destination = transpose of source (they may be the same); KZ_ERROR_INVALID_DATA if either is null.
KZ_API kzResult kzGetTransposedMatrix(const kzMatrix4x4* source, kzMatrix4x4* destination);

// Screen position of a world point in the camera's view: (0, 0) top-left, (1, 1) bottom-right.
KZ_API kzResult kzGetWorldToScreen(kzVec2f* screen, kzVec3f point, kzCamera camera);

// The camera of a channel's frustum file, read with kzLoadCameraFromFile; KZ_ERROR_INVALID_DATA for a channel the context does not know.
KZ_API kzResult kzGetCamera(void* context, unsigned channel, kzCamera* camera);
