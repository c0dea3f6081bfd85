#include "sheetlimits.h"

#include <algorithm>

namespace {
// A count of things as the operator reads it: 3200 万个字 rather than 32000000 个字.
QString count(qint64 n, const QString& things) {
    if (n >= 10'000 && n % 10'000 == 0)
        return QStringLiteral("%1 万%2").arg(n / 10'000).arg(things);
    return QStringLiteral("%1 %2").arg(n).arg(things);
}

QString megabytes(qint64 bytes) {
    return QStringLiteral("%1 MB").arg(bytes / (1024 * 1024));
}

OperationError tooBig(const QString& path, const QString& reason) {
    return OperationError(QStringLiteral("表格“%1”太大，没有导入：%2。").arg(path, reason));
}
} // namespace

void ReadControl::report(qint64 done, qint64 total) {
    if (m_cancelled)
        throw ReadCancelled();
    if (total > 0)
        m_permille = static_cast<int>(std::clamp<qint64>(done * 1000 / total, 0, 1000));
}

namespace SheetErrors {

OperationError tooManyRows(const QString& path, const SheetLimits& limits) {
    return OperationError(QStringLiteral("表格“%1”超过 %2 行，没有导入。请把名单分成几个较小的文件，"
                                         "或另存为文本文件后用“导入抽奖名单”导入。")
                              .arg(path)
                              .arg(limits.maxRows));
}

OperationError cellTooLong(const QString& path, const SheetLimits& limits) {
    return tooBig(path, QStringLiteral("有一个单元格超过 %1 个字（Excel 一个单元格最多 32767 个字）")
                            .arg(limits.maxCellChars));
}

OperationError tooMuchText(const QString& path, const SheetLimits& limits) {
    return tooBig(path, QStringLiteral("文字超过 %1。请把名单分成几个较小的文件")
                            .arg(count(limits.maxChars, QStringLiteral("个字"))));
}

OperationError tooManyCells(const QString& path, const SheetLimits& limits) {
    return tooBig(path, QStringLiteral("超过 %1。请只留下名单需要的列，或把名单分成几个较小的文件")
                            .arg(count(limits.maxCells, QStringLiteral("个单元格"))));
}

OperationError fileTooBig(const QString& path, const SheetLimits& limits) {
    return OperationError(
        QStringLiteral("文件“%1”太大（超过 %2），没有导入。").arg(path, megabytes(limits.maxFileBytes)));
}

OperationError inflatesTooMuch(const QString& path, const QString& part, const SheetLimits& limits) {
    return tooBig(path, QStringLiteral("其中的 %1 解压后超过压缩大小的 %2 倍，这不是正常的工作簿")
                            .arg(part)
                            .arg(limits.maxRatio));
}

OperationError inflatedTooBig(const QString& path, const SheetLimits& limits) {
    return tooBig(path, QStringLiteral("解压后超过 %1").arg(megabytes(limits.maxInflatedBytes)));
}

OperationError tooManyElements(const QString& path, const SheetLimits& limits) {
    return tooBig(path,
                  QStringLiteral("超过 %1").arg(count(limits.maxElements, QStringLiteral("个 XML 元素"))));
}

OperationError tooManyEntries(const QString& path, const QString& part, const SheetLimits& limits) {
    return tooBig(path,
                  QStringLiteral("%1 有超过 %2").arg(part, count(limits.maxEntries, QStringLiteral("项"))));
}

OperationError doctype(const QString& path, const QString& part) {
    return OperationError(QStringLiteral("无法读取表格文件“%1”：其中的 %2 带有文档类型定义（DOCTYPE）。"
                                         "Excel 工作簿不带这种定义，为安全起见没有导入。")
                              .arg(path, part));
}

OperationError encrypted(const QString& path) {
    return OperationError(QStringLiteral("无法读取表格文件“%1”：文件设有打开密码（已加密）。"
                                         "请在 Excel 中去掉密码并保存后再导入。")
                              .arg(path));
}

OperationError damaged(const QString& path, const QString& detail) {
    return OperationError(QStringLiteral("无法读取表格文件“%1”：文件已损坏（%2）。").arg(path, detail));
}

OperationError outOfMemory(const QString& path) {
    return tooBig(path, QStringLiteral("内存不足"));
}

OperationError unexpected(const QString& path, const QString& detail) {
    return OperationError(QStringLiteral("无法读取表格文件“%1”：%2。").arg(path, detail));
}

} // namespace SheetErrors
