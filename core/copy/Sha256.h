#pragma once

#include <QString>
#include <QtGlobal>

struct evp_md_ctx_st;

namespace tessera {

// A SHA-256 digest computed piece by piece, written as 64 lower-case hexadecimal digits.
class Sha256
{
public:
    Sha256();
    ~Sha256();
    Sha256(const Sha256 &) = delete;
    Sha256 &operator=(const Sha256 &) = delete;

    void update(const char *data, qint64 length);
    // Ends the computation; call once.
    QString hex();

private:
    evp_md_ctx_st *context_;
};

} // namespace tessera
