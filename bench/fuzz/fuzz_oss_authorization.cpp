// libFuzzer target for the object store's Authorization header parser: any
// value is refused or split into an access id and a signature that are both
// present and read back the same when written out again.
#include "protocol/OssSignature.h"

#include <cstdint>
#include <cstdlib>

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray value(reinterpret_cast<const char *>(data), qsizetype(size));
    QByteArray accessId;
    QByteArray signature;
    if (!OssSignature::parseAuthorization(value, &accessId, &signature))
        return 0;
    require(value.startsWith("OSS ") && !accessId.isEmpty() && !signature.isEmpty() && !signature.contains(':'));
    QByteArray id;
    QByteArray signatureAgain;
    require(OssSignature::parseAuthorization("OSS " + accessId + ':' + signature, &id, &signatureAgain));
    require(id == accessId && signatureAgain == signature);
    return 0;
}
