// Calibration files and meshes: the warp map, screen shape, target rectangle
// and camera loaders, the quad generator and the OBJ exporter. Numbers are
// read as in the "C" locale whatever locale the host has set. On a non-zero
// result the output record is left exactly as it was.
#pragma once

#include "kzLib/export.h"
#include "kzLib/types.h"

// Reads a warp map (header line, then x;y;u;v;column;row per point); KZ_ERROR_INVALID_DATA unless the points fill the width x height grid.
KZ_API kzResult kzLoadWarpmapFromFile(const char* path, kzMesh* mesh, int flipVerticesY, int flipTexcoordsV);

// Reads a screen shape (header, then position, texcoord, optional normal and tangent, column, row per point) with file (x, y, z) stored as (x, z, -y).
KZ_API kzResult kzLoadScreenShapeFromFile(const char* path, kzMesh* mesh, int flip);

// Reads the four corners (file order upper-left, upper-right, lower-right, lower-left) and the orientation of a target rectangle file.
KZ_API kzResult kzLoadTargetRectFromFile(const char* path, kzTargetRect* rect);

// Reads a camera file into a complete camera (clipping planes 0.5 and 5000); KZ_ERROR_INVALID_DATA if its data line has fewer than 16 fields.
KZ_API kzResult kzLoadCameraFromFile(const char* path, kzCamera* camera);

// Fills the mesh with a 2 x 2 grid spanning (0, 0) to (quadWidth, quadHeight), texcoords (0, 0) to (1, 1), normals +z.
KZ_API kzResult kzCreateQuad(kzMesh* mesh, bool flipVerticesY, bool flipTexcoordsV, float quadWidth, float quadHeight);

// Writes the mesh's vertices, texcoords and two triangles per grid cell as a Wavefront OBJ text file.
KZ_API kzResult kzSaveObj(const char* path, kzMesh* mesh);

// Decodes a mask image as channel set-up does (PNG, BMP or TGA, at most 8192 pixels a side) and
// writes its size; KZ_ERROR_FILE if the file cannot be opened, KZ_ERROR_INVALID_DATA if it is no
// mask the library reads (the reason goes to the message callback).
KZ_API kzResult kzGetMaskImageSize(const char* path, int* width, int* height);
