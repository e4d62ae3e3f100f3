#include "update/SafeExtract.h"

#include <QDir>
#include <QFile>
#include <QHash>
#include <QStringList>
#include <archive.h>
#include <archive_entry.h>
#include <fcntl.h>
#include <algorithm>
#include <memory>
#include <optional>
#include <utility>
#include <sys/stat.h>
#include <unistd.h>

namespace zumo::Updater {
namespace {

// Entries are written relative to an open descriptor of dest, every step opened with
// O_NOFOLLOW, so no name, however crafted, and no link made earlier can lead the writes out:
// libarchive's own disk writer would need the process's working directory or refuse paths
// below a linked home directory.
class Fd {
public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(Fd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
    Fd& operator=(Fd&& other) noexcept
    {
        std::swap(m_fd, other.m_fd);
        return *this;
    }
    ~Fd()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    int get() const { return m_fd; }
    bool ok() const { return m_fd >= 0; }

private:
    int m_fd;
};

// Reads at most `left` bytes of the image, so the signature trailer is never fed to libarchive.
struct Source {
    int fd = -1;
    qint64 left = 0;
    char buffer[65536];
};

la_ssize_t readSource(struct archive*, void* data, const void** block)
{
    auto* source = static_cast<Source*>(data);
    *block = source->buffer;
    if (source->left <= 0)
        return 0;
    const ssize_t got = ::read(source->fd, source->buffer, size_t(std::min<qint64>(source->left, sizeof source->buffer)));
    if (got > 0)
        source->left -= got;
    return got;
}

// The name's pieces when it is relative and has no "." or ".." piece; nothing otherwise.
std::optional<QStringList> safePieces(const QString& name)
{
    if (name.isEmpty() || name.startsWith(u'/'))
        return std::nullopt;
    QStringList pieces = name.split(u'/', Qt::SkipEmptyParts);
    if (pieces.isEmpty())
        return std::nullopt;
    for (const QString& piece : pieces) {
        if (piece == QLatin1String("..") || piece == QLatin1String("."))
            return std::nullopt;
    }
    return pieces;
}

// Where target leads from the folder `from` (pieces below the root), following the links made
// so far as the kernel would; nothing once it climbs above the root, is absolute, or chains
// deeper than the kernel follows. Lexical checks alone miss chains: with r -> .. beside it,
// e -> r/../.. looks one level deep but leaves the root.
std::optional<QStringList> resolveInside(const QHash<QString, QString>& links, QStringList from, const QString& target,
                                         int& hops)
{
    if (target.isEmpty() || target.startsWith(u'/'))
        return std::nullopt;
    for (const QString& piece : target.split(u'/', Qt::SkipEmptyParts)) {
        if (piece == QLatin1String(".")) {
            continue;
        } else if (piece == QLatin1String("..")) {
            if (from.isEmpty())
                return std::nullopt;
            from.removeLast();
            continue;
        }
        from.append(piece);
        const auto link = links.constFind(from.join(u'/'));
        if (link == links.constEnd())
            continue;
        if (++hops > 40)
            return std::nullopt;
        from.removeLast();
        const std::optional<QStringList> resolved = resolveInside(links, from, *link, hops);
        if (!resolved)
            return std::nullopt;
        from = *resolved;
    }
    return from;
}

// Opens (creating when missing) each folder of pieces but the last, never through a link.
Fd openParent(int root, const QStringList& pieces)
{
    Fd dir(::dup(root));
    for (qsizetype i = 0; i + 1 < pieces.size(); ++i) {
        const QByteArray piece = QFile::encodeName(pieces[i]);
        if (::mkdirat(dir.get(), piece.constData(), 0755) != 0 && errno != EEXIST)
            return Fd();
        dir = Fd(::openat(dir.get(), piece.constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!dir.ok())
            return Fd();
    }
    return dir;
}

struct Extraction {
    struct archive* reader = nullptr;
    int root = -1;
    ExtractLimits limits;
    qint64 written = 0;
    QHash<QString, QString> links;  // path below the root -> target, of every link made
};

// Run once all links exist, since a later link can change where an earlier one leads.
QString checkLinks(const Extraction& x)
{
    for (auto it = x.links.constBegin(); it != x.links.constEnd(); ++it) {
        int hops = 0;
        QStringList folder = it.key().split(u'/');
        folder.removeLast();
        if (!resolveInside(x.links, folder, it.value(), hops))
            return QStringLiteral("link leaving the tree ") + it.key();
    }
    return {};
}

QString writeFile(Extraction& x, int parent, const QByteArray& leaf, struct archive_entry* entry)
{
    const mode_t mode = (archive_entry_perm(entry) & 0111) ? 0755 : 0644;
    const qint64 declared = archive_entry_size(entry);
    if (declared < 0 || declared > x.limits.maxBytes - x.written)
        return QStringLiteral("unpacked contents larger than allowed:");
    x.written += declared;
    Fd out(::openat(parent, leaf.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!out.ok())
        return QStringLiteral("cannot create the file");
    const void* block = nullptr;
    size_t size = 0;
    la_int64_t offset = 0;
    for (;;) {
        const int r = archive_read_data_block(x.reader, &block, &size, &offset);
        if (r == ARCHIVE_EOF)
            break;
        if (r != ARCHIVE_OK)
            return QString::fromUtf8(archive_error_string(x.reader));
        if (offset < 0 || qint64(offset) + qint64(size) > declared)
            return QStringLiteral("contents longer than announced:");
        if (::pwrite(out.get(), block, size, offset) != ssize_t(size))
            return QStringLiteral("cannot write the file");
    }
    // pwrite of sparse tails leaves the size short; make it what the archive says.
    if (::ftruncate(out.get(), archive_entry_size(entry)) != 0 || ::fchmod(out.get(), mode) != 0)
        return QStringLiteral("cannot finish the file");
    return {};
}

QString writeEntry(Extraction& x, struct archive_entry* entry)
{
    const QString name = QString::fromUtf8(archive_entry_pathname_utf8(entry) ? archive_entry_pathname_utf8(entry)
                                                                              : archive_entry_pathname(entry));
    const std::optional<QStringList> pieces = safePieces(name);
    if (!pieces)
        return QStringLiteral("unsafe name ") + name;
    if (archive_entry_hardlink(entry))
        return QStringLiteral("hard link ") + name;
    const mode_t type = archive_entry_filetype(entry);
    const char* target = archive_entry_symlink(entry);
    if (type == AE_IFLNK && (!target || !*target || *target == '/'))
        return QStringLiteral("link leaving the tree ") + name;
    if (type != AE_IFREG && type != AE_IFDIR && type != AE_IFLNK)
        return QStringLiteral("special file ") + name;
    const Fd parent = openParent(x.root, *pieces);
    if (!parent.ok())
        return QStringLiteral("cannot reach the folder of ") + name;
    const QByteArray leaf = QFile::encodeName(pieces->last());
    if (type == AE_IFDIR) {
        struct stat st {};
        if (::mkdirat(parent.get(), leaf.constData(), 0755) == 0)
            return {};
        const bool isDir = ::fstatat(parent.get(), leaf.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
        return isDir ? QString() : QStringLiteral("cannot create the folder ") + name;
    }
    if (type == AE_IFLNK) {
        if (::symlinkat(target, parent.get(), leaf.constData()) != 0)
            return QStringLiteral("cannot create the link ") + name;
        x.links.insert(pieces->join(u'/'), QString::fromUtf8(target));
        return {};
    }
    const QString error = writeFile(x, parent.get(), leaf, entry);
    return error.isEmpty() ? error : error + QLatin1Char(' ') + name;
}

QString extractAll(Extraction& x)
{
    int count = 0;
    struct archive_entry* entry = nullptr;
    for (;;) {
        const int r = archive_read_next_header(x.reader, &entry);
        if (r == ARCHIVE_EOF)
            return checkLinks(x);
        if (r != ARCHIVE_OK)
            return QStringLiteral("unreadable archive: ") + QString::fromUtf8(archive_error_string(x.reader));
        if (++count > x.limits.maxEntries)
            return QStringLiteral("too many entries");
        if (const QString error = writeEntry(x, entry); !error.isEmpty())
            return error;
    }
}

} // namespace

QString extractArchive(const QString& archivePath, qint64 length, const QString& dest, const ExtractLimits& limits)
{
    const Fd root(::open(QFile::encodeName(dest).constData(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    const Fd input(::open(QFile::encodeName(archivePath).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    if (!root.ok() || !input.ok())
        return QStringLiteral("cannot open the image or the folder to unpack into");
    auto source = std::make_unique<Source>();
    source->fd = input.get();
    source->left = length;
    std::unique_ptr<struct archive, decltype(&archive_read_free)> reader(archive_read_new(), &archive_read_free);
    archive_read_support_format_tar(reader.get());
    archive_read_support_filter_gzip(reader.get());
    archive_read_support_filter_xz(reader.get());
    if (archive_read_open(reader.get(), source.get(), nullptr, readSource, nullptr) != ARCHIVE_OK)
        return QStringLiteral("unreadable archive: ") + QString::fromUtf8(archive_error_string(reader.get()));
    Extraction x{reader.get(), root.get(), limits, 0, {}};
    return extractAll(x);
}

} // namespace zumo::Updater
