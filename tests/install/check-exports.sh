#!/usr/bin/env bash
# Usage: check-exports.sh LIBRARY
# Fails if the library's SONAME is not libkzLib.so.6 or if it exports a
# symbol that is neither a kz entry point nor a member of a kz class.
set -euo pipefail
library=$1

soname=$(objdump -p "$library" | awk '$1 == "SONAME" { print $2 }')
if [ "$soname" != "libkzLib.so.6" ]; then
  echo "SONAME is '$soname', expected libkzLib.so.6"
  exit 1
fi

symbols=$(nm -DC --defined-only "$library" | cut -d' ' -f3-)
if [ -z "$symbols" ]; then
  echo "no exported symbols"
  exit 1
fi
foreign=$(grep -v '^kz' <<<"$symbols" || true)
# The resolved Vulkan command table is internal even though its namespace starts with kz.
foreign+=$(grep '^kz_vk_defs::' <<<"$symbols" || true)
if [ -n "$foreign" ]; then
  echo "exported symbols outside the kz interface:"
  echo "$foreign"
  exit 1
fi
for required in kzGetVersion kzLoadConfigurationFromFile kzGetChannels \
                kzGetConfigurationFileNames kzGetFullPath kzGetDirectoryName \
                kzGetOffAxisViewPortal kzGetOrientation kzGetDirAndUp \
                kzGetProjectionMatrix kzGetOrthoMatrix kzGetModelViewMatrix \
                kzGetModelViewProjectionMatrix kzGetTransposedMatrix kzGetWorldToScreen \
                kzGetCamera kzLoadWarpmapFromFile kzLoadScreenShapeFromFile \
                kzLoadTargetRectFromFile kzLoadCameraFromFile kzCreateQuad kzSaveObj \
                kzDumpContext kzCreateContextOpenGL kzDestroyContextOpenGL \
                kzLoadConfigurationFromFileOpenGL kzSetClippingPlanesOpenGL \
                kzSetCorrectionPassOpenGL kzSetCorrectionPassOpenGL_1 \
                kzSetFlipWarpmeshVerticesYOpenGL kzSetFlipWarpmeshTexcoordsVOpenGL \
                kzSetActiveChannelOpenGL kzPreDrawOpenGL kzPreDrawOpenGL_1 kzPostDrawOpenGL \
                kzSetCorrectionMethodOpenGL \
                kzCreateContextVulkan kzDestroyContextVulkan kzLoadConfigurationFromFileVulkan \
                kzSetClippingPlanesVulkan kzSetCorrectionPassVulkan kzSetCorrectionPassVulkan_1 \
                kzSetFlipWarpmeshVerticesYVulkan kzSetFlipWarpmeshTexcoordsVVulkan \
                kzSetActiveChannelVulkan_1 kzPreDrawVulkan kzPreDrawVulkan_1 kzPostDrawVulkan \
                kzSetCorrectionMethodVulkan kzSetMessageCallback kzGetResultName kzGetChannelInfo \
                kzGetMaskImageSize kzCreateContextConfiguration kzDestroyContextConfiguration; do
  grep -qx "$required" <<<"$symbols" || { echo "$required is not exported"; exit 1; }
done
# One method of each math class stands for its whole class.
# The vector form of kzSetActiveChannelVulkan is an inline wrapper in the
# header, not a C symbol that takes a std::vector.
if grep -qx 'kzSetActiveChannelVulkan' <<<"$symbols"; then
  echo "kzSetActiveChannelVulkan is exported; only its pointer form should be"
  exit 1
fi
for method in 'kzVec2f_p::kzVec2f_p(kzVec3f_p const&)' 'kzVec4f_p::kzVec4f_p(kzVec3f_p const&)' \
              'kzQuaternion_p::slerp(float, kzQuaternion_p const&, kzQuaternion_p const&)' \
              'kzMatrix4x4_p::makeInvertOf(kzMatrix4x4_p const&)' \
              'kzMatrix4x4_p::decompose(kzVec3f_p&, kzQuaternion_p&, kzVec3f_p&, kzQuaternion_p&) const'; do
  grep -qxF "$method" <<<"$symbols" || { echo "$method is not exported"; exit 1; }
done
echo "$(wc -l <<<"$symbols") symbols, all kz"
