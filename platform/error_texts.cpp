#include "platform/error_texts.h"

#include <cerrno>

namespace tav {

namespace {

struct OperationText {
    FileOperation operation;
    const char16_t* text; // %1: the path
};

constexpr OperationText kOperations[] = {
    {FileOperation::Open, u"「%1」を開けません"},
    {FileOperation::Read, u"「%1」を読み込めません"},
    {FileOperation::Save, u"「%1」を保存できません"},
    {FileOperation::Rename, u"「%1」の名前を変更できません"},
    {FileOperation::Lock, u"「%1」の使用中の印（ロックファイル）を作れません"},
    {FileOperation::ReadFolder, u"フォルダ「%1」の中を読み込めません"},
    {FileOperation::ReadDetails, u"「%1」の大きさや日時を読み取れません"},
    {FileOperation::InsertPicture, u"画像「%1」を貼り付けられません"},
};

struct Text {
    ErrorText id;
    const char16_t* text;
};

constexpr Text kTexts[] = {
    {ErrorText::FolderMissing, u"フォルダ「%1」がありません"},
    {ErrorText::NotAFolder, u"「%1」はフォルダではありません"},
    {ErrorText::FolderNotEnterable, u"フォルダ「%1」を開く権限がありません"},
    {ErrorText::FolderNotWritable, u"フォルダ「%1」に書き込めません：%2"},
    {ErrorText::ReadOnlyMedium, u"フォルダ「%1」は読み取り専用の場所にあります"},
    {ErrorText::VolumeNotMounted, u"「%1」のあるドライブがつながっていません"},
    {ErrorText::NotAnAbsoluteFolder, u"「%1」はフォルダの場所として正しくありません"},

    {ErrorText::NotAFile, u"「%1」はファイルではありません"},
    {ErrorText::FileTooLarge, u"ファイルが大きすぎます"},
    {ErrorText::FileReadOnly, u"「%1」は読み取り専用です"},
    {ErrorText::OpenElsewhere, u"「%1」は他のプログラムで開かれています"},
    {ErrorText::OpenElsewhereLock,
     u"「%1」は他のプログラムで開かれています（使用中の印「%2」があります）"},
    {ErrorText::TemporaryFileClosed, u"書き込み中の一時ファイルがすでに閉じられています"},
    {ErrorText::RenameNameInvalid, u"「%1」はファイル名として使えません"},
    {ErrorText::RenameNameTaken, u"「%1」という名前のファイルがすでにあります"},
    {ErrorText::RenamedTwice, u"「%1」がすでに同じ名前「%2」に変更されます"},

    {ErrorText::ListNotAList,
     u"「%1」は写真リストのファイルではありません（1行目が写真リストの見出し行ではありません）"},
    {ErrorText::ListNotUtf8, u"「%1」の%2行目の文字コードがUTF-8ではありません"},
    {ErrorText::ListBadRotation,
     u"「%1」の%2行目：回転は 0、90、180、270 のどれかです（「%3」は使えません）"},
    {ErrorText::ListBadFields,
     u"「%1」の%2行目：写真の場所がないか、タブで区切られた欄が4つより多くあります"},
    {ErrorText::ListPathUnwritable,
     u"写真「%1」の場所にタブか改行が含まれているため、リストに書き込めません"},

    {ErrorText::PictureUnreadable, u"画像ファイル「%1」を読み込めません：%2"},
    {ErrorText::PictureNotAFile, u"通常のファイルではありません"},
    {ErrorText::PictureFileTooLarge, u"ファイルが1GBを超えています"},
    {ErrorText::PictureFileEmpty, u"ファイルが空です"},
    {ErrorText::PictureUnknownType, u"対応している形式の画像ではありません"},
    {ErrorText::PictureNoPixels, u"画像の大きさが0です"},
    {ErrorText::PictureTooManyPixels, u"画像が大きすぎます（%1×%2画素、扱えるのは%3画素まで）"},
    {ErrorText::PicturePixelsBeyondFile,
     u"画像の大きさ（%1×%2画素）がファイルの大きさと合いません。ファイルが壊れています"},
    {ErrorText::PictureHeaderDamaged, u"画像の先頭部分（ヘッダー）が壊れています"},
    {ErrorText::PictureDataDamaged, u"画像のデータが壊れているか、途中で切れています"},
    {ErrorText::PictureKindUnsupported, u"この画像の種類（圧縮方式など）には対応していません"},
    {ErrorText::PictureNoImageInside, u"ファイルの中に表示できる画像がありません"},
    {ErrorText::MetafileDamaged, u"図（WMF/EMF）のデータが壊れているか、途中で切れています"},
    {ErrorText::MetafileNotDrawable, u"図（WMF/EMF）を描けません"},
    {ErrorText::PictureReaderUnavailable, u"画像を読み込む機能を開始できません"},
    {ErrorText::NoMemoryForPicture, u"メモリが足りません（%1×%2画素の画像）"},
    {ErrorText::NoMemory, u"メモリが足りません"},
    {ErrorText::NoPictureOnClipboard, u"貼り付ける画像がありません"},
    {ErrorText::JpegEncoderUnavailable, u"画像をJPEGに変換する機能を開始できません"},
    {ErrorText::JpegEncodingFailed, u"画像をJPEGに変換できません"},

    {ErrorText::WorkbookUnreadable, u"Excelファイル「%1」を読み込めません：%2"},
    {ErrorText::WorkbookContainerDamaged,
     u"Excelファイルの入れ物（複合ファイル）が壊れているか、読み書きできません"},
    {ErrorText::WorkbookRecordsDamaged, u"Excelファイルのデータが壊れています"},
    {ErrorText::WorkbookDrawingsDamaged,
     u"Excelファイルの図の情報が壊れているか、扱えない図形が含まれています"},
    {ErrorText::WorkbookContentDamaged,
     u"Excel 97-2003形式のファイルではないか、扱えない内容が含まれています"},
    {ErrorText::EngineRefused, u"Excelファイルを作る処理が、求められた操作を受け付けませんでした"},
    {ErrorText::AddressRefused, u"セル範囲「%1」を受け付けられません"},
    {ErrorText::NoViewerForWorkbook,
     u"Excelファイル「%1」を表示できるプログラムが、このコンピュータにありません"},

    {ErrorText::RowRemovedDuringRun, u"処理中に選択ファイルの%1行目が一覧から外されました"},
    {ErrorText::UnknownSystemError, u"システムのエラーです（番号 %1）"},
    {ErrorText::InternalError, u"プログラム内部のエラーです"},
};

struct OsText {
    int errnoValue;
    const char16_t* text;
};

constexpr OsText kOsTexts[] = {
    {ENOENT, u"ファイルまたはフォルダがありません"},
    {ENOTDIR, u"途中のフォルダがありません"},
    {EISDIR, u"ファイルではなくフォルダです"},
    {EEXIST, u"同じ名前のファイルがすでにあります"},
    {ENOTEMPTY, u"フォルダが空ではありません"},
    {EACCES, u"権限がありません"},
    {EPERM, u"この操作は許可されていません"},
    {EROFS, u"読み取り専用の場所です"},
    {EBUSY, u"使用中です"},
    {ETXTBSY, u"使用中です"},
    {ENOSPC, u"ディスクの空き容量が足りません"},
    {EDQUOT, u"ディスクの使用量の上限を超えています"},
    {EIO, u"ドライブの読み書きに失敗しました"},
    {ENXIO, u"ドライブが見つかりません"},
    {ENODEV, u"ドライブが見つかりません"},
    {ENOMEDIUM, u"ドライブにメディアが入っていません"},
    {ENAMETOOLONG, u"名前が長すぎます"},
    {EINVAL, u"名前または指定が正しくありません"},
    {EILSEQ, u"名前に使えない文字が含まれています"},
    {ENOMEM, u"メモリが足りません"},
    {EMFILE, u"開いているファイルが多すぎます"},
    {ENFILE, u"開いているファイルが多すぎます"},
    {ELOOP, u"シンボリックリンクが多すぎるか、循環しています"},
    {EXDEV, u"別のドライブへは移せません"},
    {EMLINK, u"リンクが多すぎます"},
    {ESTALE, u"ネットワーク上のファイルが無効になりました"},
    {ETIMEDOUT, u"応答がありません"},
    {EINTR, u"処理が中断されました"},
    {EAGAIN, u"一時的に使えません"},
    {EFBIG, u"ファイルが大きすぎます"},
    {EOVERFLOW, u"ファイルが大きすぎます"},
};

} // namespace

QString errorTextPattern(ErrorText text) {
    for (const Text& entry : kTexts) {
        if (entry.id == text) {
            return QString::fromUtf16(entry.text);
        }
    }
    return text == ErrorText::InternalError ? QString()
                                            : errorTextPattern(ErrorText::InternalError);
}

QString failedOperation(FileOperation operation, const QString& path, const QString& cause) {
    QString head = path;
    for (const OperationText& entry : kOperations) {
        if (entry.operation == operation) {
            head = QString::fromUtf16(entry.text).arg(path);
            break;
        }
    }
    return cause.isEmpty() ? head : head + QStringLiteral("：") + cause;
}

QString osErrorText(int errnoValue) {
    for (const OsText& entry : kOsTexts) {
        if (entry.errnoValue == errnoValue) {
            return QString::fromUtf16(entry.text);
        }
    }
    return errorText(ErrorText::UnknownSystemError, QString::number(errnoValue));
}

} // namespace tav
