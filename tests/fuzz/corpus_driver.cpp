// Runs every kept input of one fuzz target's corpus through its entry point,
// so an input that once crashed or hung keeps being checked in the normal
// build. Fails when the corpus is missing or empty.
#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdint>
#include <cstdio>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QDir dir(QStringLiteral(OS_FUZZ_CORPUS_DIR));
    const QStringList files = dir.entryList(QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no corpus in %s\n", OS_FUZZ_CORPUS_DIR);
        return 1;
    }
    for (const QString& name : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            std::fprintf(stderr, "cannot read %s\n", qPrintable(f.fileName()));
            return 1;
        }
        const QByteArray input = f.readAll();
        LLVMFuzzerTestOneInput(reinterpret_cast<const uint8_t*>(input.constData()),
                               size_t(input.size()));
    }
    std::printf("%lld inputs of %s passed\n", static_cast<long long>(files.size()),
                OS_FUZZ_CORPUS_DIR);
    return 0;
}
