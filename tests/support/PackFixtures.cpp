// SPDX-License-Identifier: GPL-3.0-or-later
#include "PackFixtures.h"

#include <QtEndian>

#include <archive.h>
#include <archive_entry.h>

namespace PackFixtures {

namespace {

la_ssize_t appendTo(archive *, void *target, const void *buffer, size_t length)
{
    static_cast<QByteArray *>(target)->append(static_cast<const char *>(buffer), qsizetype(length));
    return la_ssize_t(length);
}

void setKind(archive *writer, Kind kind)
{
    switch (kind) {
    case Kind::Zip:
        archive_write_set_format_zip(writer);
        break;
    case Kind::SevenZip:
        archive_write_set_format_7zip(writer);
        break;
    case Kind::Tar:
    case Kind::TarGz:
    case Kind::TarBz2:
    case Kind::TarXz:
        archive_write_set_format_pax_restricted(writer);
        break;
    }
    if (kind == Kind::TarGz)
        archive_write_add_filter_gzip(writer);
    else if (kind == Kind::TarBz2)
        archive_write_add_filter_bzip2(writer);
    else if (kind == Kind::TarXz)
        archive_write_add_filter_xz(writer);
}

bool writeFile(archive *writer, const File &file)
{
    archive_entry *entry = archive_entry_new();
    archive_entry_set_pathname(entry, file.name.constData());
    const bool folder = file.name.endsWith('/');
    archive_entry_set_filetype(entry, folder ? AE_IFDIR : AE_IFREG);
    archive_entry_set_perm(entry, folder ? 0755 : 0644);
    archive_entry_set_mtime(entry, 1700000000, 0);
    if (!folder)
        archive_entry_set_size(entry, file.data.size());
    bool ok = archive_write_header(writer, entry) == ARCHIVE_OK;
    // In pieces, as a large file would be written.
    for (qsizetype at = 0; ok && at < file.data.size(); at += 1 << 20) {
        const qsizetype n = qMin<qsizetype>(1 << 20, file.data.size() - at);
        ok = archive_write_data(writer, file.data.constData() + at, size_t(n)) == la_ssize_t(n);
    }
    archive_entry_free(entry);
    return ok;
}

void put16(QByteArray &out, quint16 value)
{
    char bytes[2];
    qToLittleEndian(value, bytes);
    out.append(bytes, 2);
}

void put32(QByteArray &out, quint32 value)
{
    char bytes[4];
    qToLittleEndian(value, bytes);
    out.append(bytes, 4);
}

} // namespace

QByteArray write(Kind kind, const QList<File> &files, const char *options, const char *passphrase, QByteArray *error)
{
    QByteArray out;
    archive *writer = archive_write_new();
    setKind(writer, kind);
    // No padding to whole blocks: the pack ends where its format says.
    archive_write_set_bytes_in_last_block(writer, 1);
    bool ok = !options || archive_write_set_options(writer, options) == ARCHIVE_OK;
    if (ok && passphrase)
        ok = archive_write_set_passphrase(writer, passphrase) == ARCHIVE_OK;
    ok = ok && archive_write_open(writer, &out, nullptr, appendTo, nullptr) == ARCHIVE_OK;
    for (const File &file : files)
        ok = ok && writeFile(writer, file);
    ok = ok && archive_write_close(writer) == ARCHIVE_OK;
    if (!ok && error)
        *error = archive_error_string(writer);
    archive_write_free(writer);
    return ok ? out : QByteArray();
}

QByteArray buildTar(const QList<File> &files)
{
    QByteArray out;
    for (const File &file : files) {
        QByteArray header(512, '\0');
        auto field = [&header](int at, const QByteArray &value) { header.replace(at, value.size(), value); };
        field(0, file.name.left(99));
        field(100, "0000644");
        field(108, "0000000");
        field(116, "0000000");
        field(124, QByteArray::number(file.data.size(), 8).rightJustified(11, '0'));
        field(136, QByteArray::number(1700000000, 8).rightJustified(11, '0'));
        field(148, "        ");
        header[156] = '0';
        field(257, QByteArray("ustar\0" "00", 8));
        unsigned sum = 0;
        for (const char c : header)
            sum += static_cast<unsigned char>(c);
        field(148, QByteArray::number(sum, 8).rightJustified(6, '0') + QByteArray("\0 ", 2));
        out += header;
        out += file.data;
        out += QByteArray((512 - file.data.size() % 512) % 512, '\0');
    }
    out += QByteArray(1024, '\0');
    return out;
}

quint32 crc32(const QByteArray &data)
{
    quint32 crc = 0xFFFFFFFFu;
    for (const char c : data) {
        crc ^= static_cast<unsigned char>(c);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

QByteArray deflateRaw(const QByteArray &data)
{
    // qCompress gives a 4-byte length, a 2-byte zlib header, the deflate data and a 4-byte check.
    const QByteArray zlib = qCompress(data, 9);
    return zlib.mid(6, zlib.size() - 10);
}

QByteArray noise(qsizetype size, quint32 seed)
{
    QByteArray bytes(size, Qt::Uninitialized);
    quint32 state = seed * 2654435761u + 1;
    for (char &c : bytes) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        c = char(state & 0xFF);
    }
    return bytes;
}

QByteArray buildZip(const QList<ZipFile> &files)
{
    QByteArray out;
    QByteArray central;
    for (const ZipFile &file : files) {
        const QByteArray stored = file.deflate ? deflateRaw(file.data) : file.data;
        const quint32 crc = crc32(file.data);
        const quint32 size = quint32(file.claimedSize >= 0 ? file.claimedSize : file.data.size());
        const quint16 flags = quint16((file.descriptor ? 0x0008 : 0) | (file.utf8Name ? 0x0800 : 0));
        const quint16 method = file.deflate ? 8 : 0;
        const quint32 offset = quint32(out.size());
        put32(out, 0x04034b50);
        put16(out, 20);
        put16(out, flags);
        put16(out, method);
        put16(out, 0); // time
        put16(out, 0x5821); // date: 2024-01-01
        put32(out, file.descriptor ? 0 : crc);
        put32(out, file.descriptor ? 0 : quint32(stored.size()));
        put32(out, file.descriptor ? 0 : size);
        put16(out, quint16(file.name.size()));
        put16(out, 0);
        out.append(file.name);
        out.append(stored);
        if (file.descriptor) {
            put32(out, 0x08074b50);
            put32(out, crc);
            put32(out, quint32(stored.size()));
            put32(out, size);
        }
        put32(central, 0x02014b50);
        put16(central, 20);
        put16(central, 20);
        put16(central, flags);
        put16(central, method);
        put16(central, 0);
        put16(central, 0x5821);
        put32(central, crc);
        put32(central, quint32(stored.size()));
        put32(central, size);
        put16(central, quint16(file.name.size()));
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put16(central, 0);
        put32(central, 0);
        put32(central, offset);
        central.append(file.name);
    }
    const quint32 centralAt = quint32(out.size());
    out.append(central);
    put32(out, 0x06054b50);
    put16(out, 0);
    put16(out, 0);
    put16(out, quint16(files.size()));
    put16(out, quint16(files.size()));
    put32(out, quint32(central.size()));
    put32(out, centralAt);
    put16(out, 0);
    return out;
}

// A PDF written object by object, one page for each text, with the offsets its cross-reference
// table needs. Locked, it asks for a password that no empty one matches.
QByteArray minimalPdf(const QList<QByteArray> &pages, bool locked)
{
    QList<QByteArray> objects;
    QByteArray kids;
    const int pageCount = int(pages.size());
    objects << "<< /Type /Catalog /Pages 2 0 R >>";
    for (int i = 0; i < pageCount; ++i)
        kids += QByteArray::number(4 + 2 * i) + " 0 R ";
    objects << "<< /Type /Pages /Kids [" + kids + "] /Count " + QByteArray::number(pageCount) + " >>";
    objects << "<< /Type /Font /Subtype /Type1 /BaseFont /Helvetica >>";
    for (int i = 0; i < pageCount; ++i) {
        const QByteArray content = "BT /F1 24 Tf 72 700 Td (" + pages[i] + ") Tj ET";
        objects << "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 612 792] /Contents " + QByteArray::number(5 + 2 * i)
                       + " 0 R /Resources << /Font << /F1 3 0 R >> >> >>";
        objects << "<< /Length " + QByteArray::number(content.size()) + " >>\nstream\n" + content + "\nendstream";
    }
    if (locked) {
        const QByteArray check = noise(32, 8).toHex();
        objects << "<< /Filter /Standard /V 1 /R 2 /O <" + check + "> /U <" + check + "> /P -4 >>";
    }
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const qsizetype xref = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (const qsizetype offset : offsets)
        pdf += QByteArray::number(offset).rightJustified(10, '0') + " 00000 n \n";
    const QByteArray id = "<00112233445566778899AABBCCDDEEFF>";
    const QByteArray encrypt =
        locked ? QByteArray(" /Encrypt " + QByteArray::number(objects.size()) + " 0 R /ID [" + id + " " + id + "]")
               : QByteArray();
    pdf += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R" + encrypt + " >>\nstartxref\n"
           + QByteArray::number(xref) + "\n%%EOF\n";
    return pdf;
}

QByteArray docx(const QByteArray &body)
{
    const QByteArray document =
        "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n"
        "<w:document xmlns:w=\"http://schemas.openxmlformats.org/wordprocessingml/2006/main\"><w:body>"
        + body + "</w:body></w:document>";
    return buildZip({{"[Content_Types].xml", "<Types/>", true},
                                   {"word/styles.xml", "<w:styles>Not text</w:styles>", true},
                                   {"word/document.xml", document, true}});
}

} // namespace PackFixtures
