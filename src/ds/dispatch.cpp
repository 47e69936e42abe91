#include "ds/operations.h"
#include "ds/source_context.h"

namespace {

constexpr DispatchEntry ControlTable[] = {
    {DAT_IDENTITY, IdentityMsg},
    {DAT_USERINTERFACE, UserInterfaceMsg},
    {DAT_CAPABILITY, HandleCapability},
    {DAT_STATUS, StatusMsg},
    {DAT_PENDINGXFERS, PendingXfersMsg},
    {DAT_SETUPMEMXFER, SetupMemXferMsg},
    {DAT_SETUPFILEXFER, SetupFileXferMsg},
    {DAT_XFERGROUP, XferGroupMsg},
    {0, nullptr},
};

constexpr DispatchEntry ImageTable[] = {
    {DAT_IMAGEINFO, ImageInfoMsg},
    {DAT_IMAGELAYOUT, ImageLayoutMsg},
    {DAT_IMAGEMEMXFER, ImageMemXferMsg},
    {DAT_IMAGENATIVEXFER, ImageNativeXfeMsg},
    {DAT_IMAGEFILEXFER, ImageFileXferMsg},
    {DAT_PALETTE8, UnsupportedOperation},
    {DAT_GRAYRESPONSE, UnsupportedOperation},
    {DAT_RGBRESPONSE, UnsupportedOperation},
    {DAT_CIECOLOR, UnsupportedOperation},
    {DAT_JPEGCOMPRESSION, UnsupportedOperation},
    {0, nullptr},
};

const DispatchEntry *TableFor(TW_UINT32 group) {
    if (group == DG_CONTROL) return ControlTable;
    if (group == DG_IMAGE) return ImageTable;
    return nullptr;
}

}  // namespace

Operation FindOperation(TW_UINT32 group, TW_UINT16 dataType) {
    const DispatchEntry *row = TableFor(group);
    if (!row) return UnsupportedOperation;
    for (; row->operation; ++row)
        if (row->dataType == dataType) return row->operation;
    return UnsupportedOperation;
}

TW_UINT16 UnsupportedOperation(const OperationRequest *) {
    g_source.conditionCode = TWCC_BADPROTOCOL;
    return TWRC_FAILURE;
}
