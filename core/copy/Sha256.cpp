#include "core/copy/Sha256.h"

#include <QByteArray>
#include <openssl/evp.h>

#include <new>

namespace tessera {

Sha256::Sha256()
    : context_(EVP_MD_CTX_new())
{
    if (!context_ || EVP_DigestInit_ex(context_, EVP_sha256(), nullptr) != 1) {
        EVP_MD_CTX_free(context_);
        throw std::bad_alloc();
    }
}

Sha256::~Sha256()
{
    EVP_MD_CTX_free(context_);
}

void Sha256::update(const char *data, qint64 length)
{
    if (length > 0)
        EVP_DigestUpdate(context_, data, static_cast<size_t>(length));
}

QString Sha256::hex()
{
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    EVP_DigestFinal_ex(context_, digest, &length);
    return QString::fromLatin1(
        QByteArray(reinterpret_cast<const char *>(digest), static_cast<qsizetype>(length)).toHex());
}

} // namespace tessera
