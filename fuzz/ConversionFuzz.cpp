// A firmware file cut into download files, then each sent through the block builders.
#include "FuzzInput.h"
#include "engines/flash/BlockSenders.h"
#include "engines/flash/LoadFileConversion.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    static QTemporaryDir folder;
    static const bool entered = QDir::setCurrent(folder.path());
    (void)entered;
    QFile input(QStringLiteral("F4008-0111.hex"));
    if (!input.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return 0;
    input.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    input.close();
    LoadFileConversion::createLoadFiles(QStringLiteral("F4008-0111.hex"));
    for (const char *name : {"F4008-0111a.dwn", "F4008-0111b.dwn", "F4008-0111c.dwn", "F4008-0111.hex"}) {
        RecordFile file;
        if (!file.open(QString::fromLatin1(name)))
            continue;
        file.readNext();
        DeviceBlockSender device;
        device.startFile(SRecord::addressRange(file.lines()).first);
        std::uint8_t sequence = 0;
        DeviceBlockSender::Hooks hooks;
        hooks.advanceSequence = [&sequence] { return sequence = DownloadMessages::nextSequence(sequence); };
        hooks.lineRead = [] {};
        // A block of 64 messages at most, and never more blocks than the file has lines.
        for (qsizetype step = 0; step < 70 * (file.lineCount() + 2); ++step) {
            const auto action = device.next(file, 3, hooks);
            if (action.kind == DeviceBlockSender::Action::Kind::Invalid || file.exhausted())
                break;
        }
        RecordFile again;
        again.open(QString::fromLatin1(name));
        again.readNext();
        for (qsizetype block = 0; block <= again.lineCount(); ++block) {
            const auto next = ModuleBlockSender::next(again, 1024, [] {});
            if (next.invalid || next.data.empty())
                break;
        }
    }
    return 0;
}
