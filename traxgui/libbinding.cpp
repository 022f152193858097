#include "libbinding.h"

#include "appInfo.h"
#include "msgbox.h"

#include <trax_win32.h>

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>

#include <array>
#include <memory>

namespace traxgui {
namespace {

constexpr size_t kLibraryCount = 3;

/// One framework library: how to find it, and what has been bound from it.
struct LibrarySlot {
    QString overrideFileName;
    std::unique_ptr<QLibrary> library; // loaded on the first call of one of its entries
    QHash<QByteArray, void *> entries;
};

std::array<LibrarySlot, kLibraryCount> &librarySlots() {
    static std::array<LibrarySlot, kLibraryCount> table;
    return table;
}

LibrarySlot &slotOf(TraxLibrary library) {
    return librarySlots()[static_cast<size_t>(library)];
}

uint32_t &lastLibraryError() {
    static uint32_t value = 0;
    return value;
}

/// The file to load: the override if a test set one, else the file found from the
/// program's folder.
QString libraryFileName(TraxLibrary library) {
    const LibrarySlot &slot = slotOf(library);
    if (!slot.overrideFileName.isEmpty())
        return slot.overrideFileName;
    return LibraryFileFor(library, QCoreApplication::applicationDirPath());
}

QLibrary *loadedLibrary(TraxLibrary library) {
    LibrarySlot &slot = slotOf(library);
    if (slot.library && slot.library->isLoaded())
        return slot.library.get();
    slot.library = std::make_unique<QLibrary>(libraryFileName(library));
    if (slot.library->load())
        return slot.library.get();
    MsgBox(QStringLiteral("Library '%1' could not be loaded:\n%2")
               .arg(LibraryName(library), slot.library->errorString()),
           QMessageBox::Critical, QMessageBox::Ok, AppTitle());
    slot.library.reset();
    return nullptr;
}

} // namespace

QString LibraryName(TraxLibrary library) {
    switch (library) {
    case TraxLibrary::TraxApi:
        return QStringLiteral("velk_trax_api");
    case TraxLibrary::UsrOss:
        return QStringLiteral("velk_usr_oss");
    case TraxLibrary::UsrUtl:
        return QStringLiteral("velk_usr_utl");
    }
    return QString();
}

QString LibraryFileFor(TraxLibrary library, const QString &programFolder) {
    const QString fileName = QStringLiteral("lib%1.so").arg(LibraryName(library));
    const QDir folder(programFolder);
    for (const QString &place : {QStringLiteral("."), QStringLiteral(TRAXGUI_LIBDIR_FROM_BINDIR)}) {
        const QString candidate = QDir::cleanPath(folder.filePath(place + '/' + fileName));
        if (QFileInfo::exists(candidate))
            return candidate;
    }
    return LibraryName(library);
}

void *BindEntry(TraxLibrary library, const char *entryName) {
    LibrarySlot &slot = slotOf(library);
    if (void *known = slot.entries.value(QByteArray(entryName)))
        return known;
    QLibrary *loaded = loadedLibrary(library);
    if (loaded == nullptr)
        return nullptr;
    void *entry = reinterpret_cast<void *>(loaded->resolve(entryName));
    if (entry == nullptr) {
        MsgBox(QStringLiteral("Entry '%1' not found in library '%2'.")
                   .arg(QString::fromLatin1(entryName), LibraryName(library)),
               QMessageBox::Critical, QMessageBox::Ok, AppTitle());
        return nullptr;
    }
    slot.entries.insert(QByteArray(entryName), entry);
    return entry;
}

uint32_t LastLibraryError() {
    return lastLibraryError();
}

void CaptureLastLibraryError() {
    lastLibraryError() = GetLastError();
}

void SetLibraryFileOverride(TraxLibrary library, const QString &fileName) {
    LibrarySlot &slot = slotOf(library);
    slot.overrideFileName = fileName;
    slot.entries.clear();
    // Dropping the QLibrary object does not unload the library, so paths opened through it
    // stay valid.
    slot.library.reset();
}

} // namespace traxgui
