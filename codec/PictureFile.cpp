// The picture codec's road through the file's bytes (kept apart from the stream, which
// builds without zlib for the platform digests).
#include "codec/PictureCodec.h"

namespace tesora::codec {

std::vector<std::uint8_t> EncodePicture(const std::vector<analysis::RedPicture>& planes, const EncodeRequest& request,
                                        TransformWorkspace* workspace) {
    return WriteFile(EncodeFile(planes, request, workspace));
}

DecodedPicture DecodePicture(const std::uint8_t* bytes, std::size_t size, TransformWorkspace* workspace) {
    return DecodeFile(ReadFile(bytes, size), workspace);
}

}  // namespace tesora::codec
