// Feeds arbitrary bytes to the EDL rewriter. Input: optional dropped names separated by 0x01,
// then 0x00, then the EDL; without a 0x00 the whole input is the EDL and a fixed set of names is
// used. The rewriter must never crash, must hand back the input untouched when it changes no line,
// and must keep every line terminator.

#include "core/copy/EDLRewriter.h"
#include "core/naming/Naming.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace tessera;

namespace {

void require(bool condition, const char *what)
{
    if (!condition) {
        std::fprintf(stderr, "EDL rewriter broke a promise: %s\n", what);
        std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    const QString reel = QStringLiteral("07_ABC_Reel3");
    QList<QByteArray> names;
    QByteArray edl = input;
    const qsizetype split = input.indexOf('\0');
    if (split >= 0) {
        names = input.first(split).split('\x01');
        edl = input.sliced(split + 1);
    } else {
        names = {"Floor Export.mov", "a.mov", "07_ABC_Reel3_awall_v2411301200.mov"};
    }

    QList<EDLRewriter::File> files;
    for (qsizetype i = 0; i < names.size() && i < 16; ++i) {
        const Slot slot{allSurfaces[i % allSurfaces.size()],
                        allProxies[(i / 6) % allProxies.size()]};
        files.append({QString::fromUtf8(names[i]),
                      Naming::fileName(reel, slot, QStringLiteral("2412051430")), slot});
    }

    const EDLRewriter::Result result = EDLRewriter::rewrite(edl, reel, files);

    require(result.changed >= 0, "negative count of changed lines");
    if (result.changed == 0)
        require(result.data == edl, "output differs although no line changed");
    // Final names hold no line breaks, so the terminators must all survive.
    require(result.data.count('\n') == edl.count('\n'), "LF bytes changed");
    require(result.data.count('\r') == edl.count('\r'), "CR bytes changed");
    require(result.changed <= edl.count('\n') + edl.count('\r') + 1,
            "more changed lines than lines");
    for (qsizetype i = 0; i < result.ambiguous.size(); ++i) {
        require(result.ambiguous.indexOf(result.ambiguous[i]) == i, "ambiguous name listed twice");
        bool dropped = false;
        for (const auto &file : files)
            dropped = dropped || file.originalName == result.ambiguous[i];
        require(dropped, "ambiguous name that was not dropped");
    }
    return 0;
}
