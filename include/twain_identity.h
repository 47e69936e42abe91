// A TW_IDENTITY as an application or a source of ours fills its own: US
// English, images under DG_CONTROL and DG_IMAGE, each text cut to the 33
// characters its field holds.
#pragma once

#include <cstring>

#include "twain.h"

inline void CopyIdentityText(char (&field)[34], const char *text) {
    memset(field, 0, sizeof field);
    strncpy(field, text, sizeof field - 1);
}

struct IdentityFields {
    TW_UINT16 versionMajor, versionMinor;
    const char *versionInfo;
    TW_UINT16 protocolMajor, protocolMinor;
    const char *manufacturer, *productFamily, *productName;
};

inline TW_IDENTITY MakeIdentity(TW_UINT32 id, const IdentityFields &fields) {
    TW_IDENTITY identity = {};
    identity.Id = id;
    identity.Version.MajorNum = fields.versionMajor;
    identity.Version.MinorNum = fields.versionMinor;
    identity.Version.Language = TWLG_USA;
    identity.Version.Country = TWCY_USA;
    CopyIdentityText(identity.Version.Info, fields.versionInfo);
    identity.ProtocolMajor = fields.protocolMajor;
    identity.ProtocolMinor = fields.protocolMinor;
    identity.SupportedGroups = DG_CONTROL | DG_IMAGE;
    CopyIdentityText(identity.Manufacturer, fields.manufacturer);
    CopyIdentityText(identity.ProductFamily, fields.productFamily);
    CopyIdentityText(identity.ProductName, fields.productName);
    return identity;
}
