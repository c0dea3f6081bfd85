#include "systemreason.h"

#include <QHash>

#include <cerrno>
#include <cstring>

namespace {

struct Reason {
    int error;
    const char16_t* text;
};

// The codes a file operation of this program meets, and what the operator is told for each.
constexpr Reason kReasons[] = {
    {ENOSPC, u"磁盘空间不足"},
#ifdef EDQUOT // no disk quotas in Windows' C library
    {EDQUOT, u"超出磁盘配额"},
#endif
    {EACCES, u"没有权限"},
    {EPERM, u"不允许此操作"},
    {EROFS, u"磁盘或文件夹是只读的"},
    {ENOENT, u"文件或文件夹不存在"},
    {EEXIST, u"文件已存在"},
    {EISDIR, u"这是一个文件夹，不是文件"},
    {ENOTDIR, u"路径中有一项不是文件夹"},
    {ENOTEMPTY, u"文件夹不是空的"},
    {EIO, u"磁盘读写出错"},
    {EBUSY, u"文件正在被使用"},
    {ETXTBSY, u"文件正在被使用"},
    {EMFILE, u"打开的文件太多"},
    {ENFILE, u"系统打开的文件太多"},
    {ENAMETOOLONG, u"文件名太长"},
    {EFBIG, u"文件太大"},
    {ENOMEM, u"内存不足"},
    {EXDEV, u"不能跨磁盘移动"},
    {EINVAL, u"参数无效"},
    {EOPNOTSUPP, u"此磁盘不支持该操作"},
    {ELOOP, u"符号链接层数太多"},
    {EAGAIN, u"资源暂时不可用，请重试"},
    {EINTR, u"操作被中断"},
    {ENXIO, u"设备不存在"},
    {ENODEV, u"设备不存在"},
};

// Qt's own words for the failures it reports without a code from the system.
constexpr struct {
    const char* text;
    const char16_t* reason;
} kQtTexts[] = {
    {"Unknown error", u"未知错误"},
    {"No file engine available or engine does not support UnMapExtension", u"不支持该操作"},
    {"Cannot create file", u"无法创建文件"},
    {"Cannot open file", u"无法打开文件"},
    {"Unable to read from file", u"无法读取文件"},
    {"Unable to write to file", u"无法写入文件"},
    {"Failure to write block", u"无法写入文件"},
    {"Partial write", u"只写入了一部分"},
};

QString deviceReason(QFileDevice::FileError error) {
    switch (error) {
    case QFileDevice::NoError:
        return QString();
    case QFileDevice::ReadError:
        return QStringLiteral("读取文件出错");
    case QFileDevice::WriteError:
        return QStringLiteral("写入文件出错");
    case QFileDevice::FatalError:
        return QStringLiteral("严重错误");
    case QFileDevice::ResourceError:
        return QStringLiteral("系统资源不足（磁盘空间、内存或打开的文件数）");
    case QFileDevice::OpenError:
        return QStringLiteral("无法打开文件");
    case QFileDevice::AbortError:
        return QStringLiteral("操作已中止");
    case QFileDevice::TimeOutError:
        return QStringLiteral("操作超时");
    case QFileDevice::UnspecifiedError:
        return QStringLiteral("未知错误");
    case QFileDevice::RemoveError:
        return QStringLiteral("无法删除文件");
    case QFileDevice::RenameError:
        return QStringLiteral("无法重命名文件");
    case QFileDevice::PositionError:
        return QStringLiteral("无法定位文件");
    case QFileDevice::ResizeError:
        return QStringLiteral("无法改变文件大小");
    case QFileDevice::PermissionsError:
        return QStringLiteral("没有权限");
    case QFileDevice::CopyError:
        return QStringLiteral("无法复制文件");
    }
    return QStringLiteral("未知错误");
}

// The system's text of every known code (in the locale the program runs in), to know it again.
const QHash<QString, QString>& knownTexts() {
    static const QHash<QString, QString> texts = [] {
        QHash<QString, QString> map;
        for (const Reason& reason : kReasons)
            map.insert(QString::fromLocal8Bit(std::strerror(reason.error)), QString::fromUtf16(reason.text));
        for (const auto& qt : kQtTexts)
            map.insert(QString::fromLatin1(qt.text), QString::fromUtf16(qt.reason));
        return map;
    }();
    return texts;
}

} // namespace

namespace SystemReason {

QString ofErrno(int error) {
    for (const Reason& reason : kReasons)
        if (reason.error == error)
            return QString::fromUtf16(reason.text);
    return QStringLiteral("系统错误（代码 %1）").arg(error);
}

QString ofFile(const QFileDevice& file, int error) {
    if (error != 0)
        return ofErrno(error);
    return deviceReason(file.error());
}

QString localise(const QString& reason) {
    const QString trimmed = reason.trimmed();
    if (trimmed.isEmpty())
        return reason;
    return knownTexts().value(trimmed, reason);
}

} // namespace SystemReason
