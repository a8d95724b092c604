// The graphics engine's device-driver interface (DDI): the types, constants and
// engine services a printer graphics DLL uses. On Windows the DDK's <winddi.h> plays
// this part; here the platform layer implements the engine side itself. Layouts follow
// the 32-bit DDI and are pinned by the static_asserts at the end.
#pragma once
#include "win32.h"

// ---------------------------------------------------------------- scalar types

typedef ULONG FLONG;
typedef LONG FIX;     // 28.4 fixed point
typedef SHORT FWORD;  // font design units
typedef USHORT FSHORT;
typedef LONG PTRDIFF;  // byte offset inside a structure
typedef ULONG HGLYPH;
typedef LONG LDECI4;   // 4-decimal fixed point
typedef FLOAT FLOATL;  // user-mode drivers see IEEE single precision
typedef ULONG ROP4;
typedef ULONG MIX;
typedef ULONG IDENT;
typedef PVOID PFN;
typedef USHORT *PUSHORT;

KV_DECLARE_HANDLE(HSURF);
KV_DECLARE_HANDLE(DHSURF);
KV_DECLARE_HANDLE(DHPDEV);
KV_DECLARE_HANDLE(HDEV);
KV_DECLARE_HANDLE(HPALETTE);
KV_DECLARE_HANDLE(HDRVOBJ);

#define HGLYPH_INVALID ((HGLYPH)-1)
#define DDI_ERROR 0xFFFFFFFFUL

// ---------------------------------------------------------------- enable data

#define DDI_DRIVER_VERSION_NT4 0x00020000UL
#define DDI_DRIVER_VERSION_SP3 0x00020003UL
#define DDI_DRIVER_VERSION_NT5 0x00030000UL
#define DDI_DRIVER_VERSION_NT5_01 0x00030100UL

typedef struct _DRVFN {
  ULONG iFunc;
  PFN pfn;
} DRVFN, *PDRVFN;

typedef struct tagDRVENABLEDATA {
  ULONG iDriverVersion;
  ULONG c;
  DRVFN *pdrvfn;
} DRVENABLEDATA, *PDRVENABLEDATA;

// Hook indexes of DRVFN.iFunc.
#define INDEX_DrvEnablePDEV 0L
#define INDEX_DrvCompletePDEV 1L
#define INDEX_DrvDisablePDEV 2L
#define INDEX_DrvEnableSurface 3L
#define INDEX_DrvDisableSurface 4L
#define INDEX_DrvAssertMode 5L
#define INDEX_DrvOffset 6L
#define INDEX_DrvResetPDEV 7L
#define INDEX_DrvDisableDriver 8L
#define INDEX_DrvCreateDeviceBitmap 10L
#define INDEX_DrvDeleteDeviceBitmap 11L
#define INDEX_DrvRealizeBrush 12L
#define INDEX_DrvDitherColor 13L
#define INDEX_DrvStrokePath 14L
#define INDEX_DrvFillPath 15L
#define INDEX_DrvStrokeAndFillPath 16L
#define INDEX_DrvPaint 17L
#define INDEX_DrvBitBlt 18L
#define INDEX_DrvCopyBits 19L
#define INDEX_DrvStretchBlt 20L
#define INDEX_DrvSetPalette 22L
#define INDEX_DrvTextOut 23L
#define INDEX_DrvEscape 24L
#define INDEX_DrvDrawEscape 25L
#define INDEX_DrvQueryFont 26L
#define INDEX_DrvQueryFontTree 27L
#define INDEX_DrvQueryFontData 28L
#define INDEX_DrvSetPointerShape 29L
#define INDEX_DrvMovePointer 30L
#define INDEX_DrvLineTo 31L
#define INDEX_DrvSendPage 32L
#define INDEX_DrvStartPage 33L
#define INDEX_DrvEndDoc 34L
#define INDEX_DrvStartDoc 35L
#define INDEX_DrvGetGlyphMode 37L
#define INDEX_DrvSynchronize 38L
#define INDEX_DrvSaveScreenBits 40L
#define INDEX_DrvGetModes 41L
#define INDEX_DrvFree 42L
#define INDEX_DrvDestroyFont 43L
#define INDEX_DrvQueryFontCaps 44L
#define INDEX_DrvLoadFontFile 45L
#define INDEX_DrvUnloadFontFile 46L
#define INDEX_DrvFontManagement 47L
#define INDEX_DrvQueryTrueTypeTable 48L
#define INDEX_DrvQueryTrueTypeOutline 49L
#define INDEX_DrvGetTrueTypeFile 50L
#define INDEX_DrvQueryFontFile 51L
#define INDEX_DrvMovePanning 52L
#define INDEX_DrvQueryAdvanceWidths 53L
#define INDEX_DrvSetPixelFormat 54L
#define INDEX_DrvDescribePixelFormat 55L
#define INDEX_DrvSwapBuffers 56L
#define INDEX_DrvStartBanding 57L
#define INDEX_DrvNextBand 58L
#define INDEX_DrvQuerySpoolType 62L
#define INDEX_DrvIcmCreateColorTransform 64L
#define INDEX_DrvIcmDeleteColorTransform 65L
#define INDEX_DrvIcmCheckBitmapBits 66L
#define INDEX_DrvIcmSetDeviceGammaRamp 67L
#define INDEX_DrvGradientFill 68L
#define INDEX_DrvStretchBltROP 69L
#define INDEX_DrvPlgBlt 70L
#define INDEX_DrvAlphaBlend 71L
#define INDEX_DrvTransparentBlt 74L
#define INDEX_LAST 89L

// DrvQueryDriverInfo modes.
#define DRVQUERY_USERMODE 0x00000001UL

// ---------------------------------------------------------------- device description

typedef struct _CIECHROMA {
  LDECI4 x;
  LDECI4 y;
  LDECI4 Y;
} CIECHROMA;

typedef struct _COLORINFO {
  CIECHROMA Red;
  CIECHROMA Green;
  CIECHROMA Blue;
  CIECHROMA Cyan;
  CIECHROMA Magenta;
  CIECHROMA Yellow;
  CIECHROMA AlignmentWhite;
  LDECI4 RedGamma;
  LDECI4 GreenGamma;
  LDECI4 BlueGamma;
  LDECI4 MagentaInCyanDye;
  LDECI4 YellowInCyanDye;
  LDECI4 CyanInMagentaDye;
  LDECI4 YellowInMagentaDye;
  LDECI4 CyanInYellowDye;
  LDECI4 MagentaInYellowDye;
} COLORINFO, *PCOLORINFO;

typedef struct _GDIINFO {
  ULONG ulVersion;
  ULONG ulTechnology;
  ULONG ulHorzSize;
  ULONG ulVertSize;
  ULONG ulHorzRes;
  ULONG ulVertRes;
  ULONG cBitsPixel;
  ULONG cPlanes;
  ULONG ulNumColors;
  ULONG flRaster;
  ULONG ulLogPixelsX;
  ULONG ulLogPixelsY;
  ULONG flTextCaps;
  ULONG ulDACRed;
  ULONG ulDACGreen;
  ULONG ulDACBlue;
  ULONG ulAspectX;
  ULONG ulAspectY;
  ULONG ulAspectXY;
  LONG xStyleStep;
  LONG yStyleStep;
  LONG denStyleStep;
  POINTL ptlPhysOffset;
  SIZEL szlPhysSize;
  ULONG ulNumPalReg;
  COLORINFO ciDevice;
  ULONG ulDevicePelsDPI;
  ULONG ulPrimaryOrder;
  ULONG ulHTPatternSize;
  ULONG ulHTOutputFormat;
  ULONG flHTFlags;
  ULONG ulVRefresh;
  ULONG ulBltAlignment;
  ULONG ulPanningHorzRes;
  ULONG ulPanningVertRes;
  ULONG xPanningAlignment;
  ULONG yPanningAlignment;
  ULONG cxHTPat;
  ULONG cyHTPat;
  LPBYTE pHTPatA;
  LPBYTE pHTPatB;
  LPBYTE pHTPatC;
  ULONG flShadeBlend;
  ULONG ulPhysicalPixelCharacteristics;
  ULONG ulPhysicalPixelGamma;
} GDIINFO, *PGDIINFO;

#define GDI_DRIVER_VERSION 0x4000
#define DT_PLOTTER 0
#define DT_RASDISPLAY 1
#define DT_RASPRINTER 2
#define DT_RASCAMERA 3
#define DT_CHARSTREAM 4

#define PRIMARY_ORDER_ABC 0
#define PRIMARY_ORDER_ACB 1
#define PRIMARY_ORDER_BAC 2
#define PRIMARY_ORDER_BCA 3
#define PRIMARY_ORDER_CBA 4
#define PRIMARY_ORDER_CAB 5

#define HT_PATSIZE_2x2 0
#define HT_PATSIZE_2x2_M 1
#define HT_PATSIZE_4x4 2
#define HT_PATSIZE_4x4_M 3
#define HT_PATSIZE_6x6 4
#define HT_PATSIZE_6x6_M 5
#define HT_PATSIZE_8x8 6
#define HT_PATSIZE_8x8_M 7
#define HT_PATSIZE_10x10 8
#define HT_PATSIZE_10x10_M 9
#define HT_PATSIZE_12x12 10
#define HT_PATSIZE_12x12_M 11
#define HT_PATSIZE_14x14 12
#define HT_PATSIZE_14x14_M 13
#define HT_PATSIZE_16x16 14
#define HT_PATSIZE_16x16_M 15
#define HT_PATSIZE_MAX_INDEX HT_PATSIZE_16x16_M
#define HT_PATSIZE_DEFAULT HT_PATSIZE_4x4_M

#define HT_FORMAT_1BPP 0
#define HT_FORMAT_4BPP 2
#define HT_FORMAT_4BPP_IRGB 3
#define HT_FORMAT_8BPP 4
#define HT_FORMAT_16BPP 5
#define HT_FORMAT_24BPP 6
#define HT_FORMAT_32BPP 7

#define HT_FLAG_SQUARE_DEVICE_PEL 0x00000001
#define HT_FLAG_HAS_BLACK_DYE 0x00000002
#define HT_FLAG_ADDITIVE_PRIMS 0x00000004
#define HT_FLAG_USE_8BPP_BITMASK 0x00000008
#define HT_FLAG_INK_HIGH_ABSORPTION 0x00000010
#define HT_FLAG_INK_ABSORPTION_INDICES 0x00000060
#define HT_FLAG_DO_DEVCLR_XFORM 0x00000080
#define HT_FLAG_OUTPUT_CMY 0x00000100
#define HT_FLAG_PRINT_DRAFT_MODE 0x00000200
#define HT_FLAG_INVERT_8BPP_BITMASK_IDX 0x00000400
#define HT_FLAG_8BPP_CMY332_MASK 0xFF000000

// Text capabilities (GDIINFO.flTextCaps).
#define TC_OP_CHARACTER 0x00000001
#define TC_OP_STROKE 0x00000002
#define TC_CP_STROKE 0x00000004
#define TC_CR_90 0x00000008
#define TC_CR_ANY 0x00000010
#define TC_SF_X_YINDEP 0x00000020
#define TC_SA_DOUBLE 0x00000040
#define TC_SA_INTEGER 0x00000080
#define TC_SA_CONTIN 0x00000100
#define TC_EA_DOUBLE 0x00000200
#define TC_IA_ABLE 0x00000400
#define TC_UA_ABLE 0x00000800
#define TC_SO_ABLE 0x00001000
#define TC_RA_ABLE 0x00002000
#define TC_VA_ABLE 0x00004000
#define TC_RESERVED 0x00008000
#define TC_SCROLLBLT 0x00010000

#define LF_FACESIZE 32

typedef struct tagLOGFONTW {
  LONG lfHeight;
  LONG lfWidth;
  LONG lfEscapement;
  LONG lfOrientation;
  LONG lfWeight;
  BYTE lfItalic;
  BYTE lfUnderline;
  BYTE lfStrikeOut;
  BYTE lfCharSet;
  BYTE lfOutPrecision;
  BYTE lfClipPrecision;
  BYTE lfQuality;
  BYTE lfPitchAndFamily;
  WCHAR lfFaceName[LF_FACESIZE];
} LOGFONTW, *PLOGFONTW, *LPLOGFONTW;

typedef struct tagDEVINFO {
  FLONG flGraphicsCaps;
  LOGFONTW lfDefaultFont;
  LOGFONTW lfAnsiVarFont;
  LOGFONTW lfAnsiFixFont;
  ULONG cFonts;
  ULONG iDitherFormat;
  USHORT cxDither;
  USHORT cyDither;
  HPALETTE hpalDefault;
  FLONG flGraphicsCaps2;
} DEVINFO, *PDEVINFO;

// DEVINFO.flGraphicsCaps.
#define GCAPS_BEZIERS 0x00000001UL
#define GCAPS_GEOMETRICWIDE 0x00000002UL
#define GCAPS_ALTERNATEFILL 0x00000004UL
#define GCAPS_WINDINGFILL 0x00000008UL
#define GCAPS_HALFTONE 0x00000010UL
#define GCAPS_COLOR_DITHER 0x00000020UL
#define GCAPS_HORIZSTRIKE 0x00000040UL
#define GCAPS_VERTSTRIKE 0x00000080UL
#define GCAPS_OPAQUERECT 0x00000100UL
#define GCAPS_VECTORFONT 0x00000200UL
#define GCAPS_MONO_DITHER 0x00000400UL
#define GCAPS_ASYNCCHANGE 0x00000800UL
#define GCAPS_ASYNCMOVE 0x00001000UL
#define GCAPS_DONTJOURNAL 0x00002000UL
#define GCAPS_DIRECTDRAW 0x00004000UL
#define GCAPS_ARBRUSHOPAQUE 0x00008000UL
#define GCAPS_PANNING 0x00010000UL
#define GCAPS_HIGHRESTEXT 0x00040000UL
#define GCAPS_PALMANAGED 0x00080000UL
#define GCAPS_DITHERONREALIZE 0x00200000UL
#define GCAPS_NO64BITMEMACCESS 0x00400000UL
#define GCAPS_FORCEDITHER 0x00800000UL
#define GCAPS_GRAY16 0x01000000UL
#define GCAPS_ICM 0x02000000UL
#define GCAPS_CMYKCOLOR 0x04000000UL
#define GCAPS_LAYERED 0x08000000UL
#define GCAPS_ARBRUSHTEXT 0x10000000UL
#define GCAPS_SCREENPRECISION 0x20000000UL
#define GCAPS_FONT_RASTERIZER 0x40000000UL
#define GCAPS_NUP 0x80000000UL

// DrvDitherColor answers.
#define DCR_SOLID 0
#define DCR_DRIVER 1
#define DCR_HALFTONE 2

// ---------------------------------------------------------------- geometry

typedef struct _POINTFIX {
  FIX x;
  FIX y;
} POINTFIX, *PPOINTFIX;

typedef struct _RECTFX {
  FIX xLeft;
  FIX yTop;
  FIX xRight;
  FIX yBottom;
} RECTFX, *PRECTFX;

typedef struct _POINTE {
  FLOATL x;
  FLOATL y;
} POINTE, *PPOINTE;

// Two 32.32 fixed-point coordinates. The 64-bit members are 8-byte aligned, as they are
// on the target, so structures holding a POINTQF have the target's padding.
typedef struct _POINTQF {
  LARGE_INTEGER x __attribute__((aligned(8)));
  LARGE_INTEGER y __attribute__((aligned(8)));
} POINTQF, *PPOINTQF;

typedef union _FLOAT_LONG {
  FLOATL e;
  LONG l;
} FLOAT_LONG, *PFLOAT_LONG;

typedef struct _XFORML {
  FLOATL eM11;
  FLOATL eM12;
  FLOATL eM21;
  FLOATL eM22;
  FLOATL eDx;
  FLOATL eDy;
} XFORML, *PXFORML;

typedef struct _FD_XFORM {
  FLOATL eXX;
  FLOATL eXY;
  FLOATL eYX;
  FLOATL eYY;
} FD_XFORM, *PFD_XFORM;

// ---------------------------------------------------------------- engine objects

typedef struct _SURFOBJ {
  DHSURF dhsurf;
  HSURF hsurf;
  DHPDEV dhpdev;
  HDEV hdev;
  SIZEL sizlBitmap;
  ULONG cjBits;
  PVOID pvBits;
  PVOID pvScan0;
  LONG lDelta;
  ULONG iUniq;
  ULONG iBitmapFormat;
  USHORT iType;
  USHORT fjBitmap;
} SURFOBJ;

// SURFOBJ.iBitmapFormat and EngCreateBitmap formats.
#define BMF_1BPP 1L
#define BMF_4BPP 2L
#define BMF_8BPP 3L
#define BMF_16BPP 4L
#define BMF_24BPP 5L
#define BMF_32BPP 6L
#define BMF_4RLE 7L
#define BMF_8RLE 8L
#define BMF_JPEG 9L
#define BMF_PNG 10L

// SURFOBJ.fjBitmap and EngCreateBitmap flags.
#define BMF_TOPDOWN 0x0001
#define BMF_NOZEROINIT 0x0002
#define BMF_DONTCACHE 0x0004
#define BMF_USERMEM 0x0008
#define BMF_KMSECTION 0x0010
#define BMF_NOTSYSMEM 0x0020
#define BMF_WINDOW_BLT 0x0040
#define BMF_UMPDMEM 0x0080
#define BMF_RESERVED 0xFE00

// SURFOBJ.iType.
#define STYPE_BITMAP 0L
#define STYPE_DEVICE 1L
#define STYPE_DEVBITMAP 3L

// EngAssociateSurface hooks.
#define HOOK_BITBLT 0x00000001UL
#define HOOK_STRETCHBLT 0x00000002UL
#define HOOK_PLGBLT 0x00000004UL
#define HOOK_TEXTOUT 0x00000008UL
#define HOOK_PAINT 0x00000010UL
#define HOOK_STROKEPATH 0x00000020UL
#define HOOK_FILLPATH 0x00000040UL
#define HOOK_STROKEANDFILLPATH 0x00000080UL
#define HOOK_LINETO 0x00000100UL
#define HOOK_COPYBITS 0x00000400UL
#define HOOK_MOVEPANNING 0x00000800UL
#define HOOK_SYNCHRONIZE 0x00001000UL
#define HOOK_STRETCHBLTROP 0x00002000UL
#define HOOK_SYNCHRONIZEACCESS 0x00004000UL
#define HOOK_TRANSPARENTBLT 0x00008000UL
#define HOOK_ALPHABLEND 0x00010000UL
#define HOOK_GRADIENTFILL 0x00020000UL
#define HOOK_FLAGS 0x0003B5FFUL

typedef struct _XLATEOBJ {
  ULONG iUniq;
  FLONG flXlate;
  USHORT iSrcType;
  USHORT iDstType;
  ULONG cEntries;
  ULONG *pulXlate;
} XLATEOBJ;

// XLATEOBJ.flXlate.
#define XO_TRIVIAL 0x00000001UL
#define XO_TABLE 0x00000002UL
#define XO_TO_MONO 0x00000004UL
#define XO_FROM_CMYK 0x00000008UL
#define XO_DEVICE_ICM 0x00000010UL
#define XO_HOST_ICM 0x00000020UL

// XLATEOBJ_cGetPalette selectors.
#define XO_SRCPALETTE 1
#define XO_DESTPALETTE 2
#define XO_DESTDCPALETTE 3
#define XO_SRCBITFIELDS 4
#define XO_DESTBITFIELDS 5

typedef struct _BRUSHOBJ {
  ULONG iSolidColor;
  PVOID pvRbrush;
  FLONG flColorType;
} BRUSHOBJ;

// BRUSHOBJ.flColorType.
#define BR_DEVICE_ICM 0x01
#define BR_HOST_ICM 0x02
#define BR_CMYKCOLOR 0x04
#define BR_ORIGCOLOR 0x08

// Hatch styles (DrvRealizeBrush iHatch).
#define HS_HORIZONTAL 0
#define HS_VERTICAL 1
#define HS_FDIAGONAL 2
#define HS_BDIAGONAL 3
#define HS_CROSS 4
#define HS_DIAGCROSS 5
#define HS_API_MAX 6
#define HS_DDI_MAX 6

typedef struct _XFORMOBJ {
  ULONG ulReserved;
} XFORMOBJ;

// XFORMOBJ_iGetXform answers.
#define GX_IDENTITY 0L
#define GX_OFFSET 1L
#define GX_SCALE 2L
#define GX_GENERAL 3L

// XFORMOBJ_bApplyXform modes.
#define XF_LTOL 0L
#define XF_INV_LTOL 1L
#define XF_LTOFX 2L
#define XF_INV_FXTOL 3L

typedef struct _CLIPOBJ {
  ULONG iUniq;
  RECTL rclBounds;
  BYTE iDComplexity;
  BYTE iFComplexity;
  BYTE iMode;
  BYTE fjOptions;
} CLIPOBJ;

#define DC_TRIVIAL 0
#define DC_RECT 1
#define DC_COMPLEX 3
#define FC_RECT 1
#define FC_RECT4 2
#define FC_COMPLEX 3
#define TC_RECTANGLES 0
#define TC_PATHOBJ 2
#define OC_BANK_CLIP 1

typedef struct _PATHOBJ {
  FLONG fl;
  ULONG cCurves;
} PATHOBJ;

#define PO_BEZIERS 0x00000001
#define PO_ELLIPSE 0x00000002
#define PO_ALL_INTEGERS 0x00000004
#define PO_ENUM_AS_INTEGERS 0x00000008

typedef struct _PATHDATA {
  FLONG flags;
  ULONG count;
  POINTFIX *pptfx;
} PATHDATA, *PPATHDATA;

#define PD_BEGINSUBPATH 0x00000001
#define PD_ENDSUBPATH 0x00000002
#define PD_RESETSTYLE 0x00000004
#define PD_CLOSEFIGURE 0x00000008
#define PD_BEZIERS 0x00000010
#define PD_ALL 0x0000001F

typedef struct _LINEATTRS {
  FLONG fl;
  ULONG iJoin;
  ULONG iEndCap;
  FLOAT_LONG elWidth;
  FLOATL eMiterLimit;
  ULONG cstyle;
  PFLOAT_LONG pstyle;
  FLOAT_LONG elStyleState;
} LINEATTRS, *PLINEATTRS;

#define LA_GEOMETRIC 0x00000001
#define LA_ALTERNATE 0x00000002
#define LA_STARTGAP 0x00000004
#define LA_STYLED 0x00000008
#define JOIN_ROUND 0L
#define JOIN_BEVEL 1L
#define JOIN_MITER 2L
#define ENDCAP_ROUND 0L
#define ENDCAP_SQUARE 1L
#define ENDCAP_BUTT 2L

// ---------------------------------------------------------------- fonts and glyphs

typedef struct _FONTOBJ {
  ULONG iUniq;
  ULONG iFace;
  ULONG cxMax;
  FLONG flFontType;
  ULONG_PTR iTTUniq;
  ULONG_PTR iFile;
  SIZE sizLogResPpi;
  ULONG ulStyleSize;
  PVOID pvConsumer;
  PVOID pvProducer;
} FONTOBJ;

// FONTOBJ.flFontType.
#define FO_TYPE_RASTER 0x00000001UL
#define FO_TYPE_DEVICE 0x00000002UL
#define FO_TYPE_TRUETYPE 0x00000004UL
#define FO_TYPE_OPENTYPE 0x00000008UL
#define FO_SIM_BOLD 0x00002000UL
#define FO_SIM_ITALIC 0x00004000UL
#define FO_EM_HEIGHT 0x00008000UL
#define FO_GRAY16 0x00010000UL
#define FO_NOGRAY16 0x00020000UL
#define FO_NOHINTS 0x00040000UL
#define FO_NO_CHOICE 0x00080000UL
#define FO_CFF 0x00100000UL
#define FO_POSTSCRIPT 0x00200000UL
#define FO_MULTIPLEMASTER 0x00400000UL
#define FO_VERT_FACE 0x00800000UL
#define FO_DBCS_FONT 0x01000000UL
#define FO_NOCLEARTYPE 0x02000000UL
#define FO_CLEARTYPE_X 0x10000000UL
#define FO_CLEARTYPE_Y 0x20000000UL

// FONTOBJ_cGetGlyphs modes and DrvGetGlyphMode answers.
#define FO_HGLYPHS 0L
#define FO_GLYPHBITS 1L
#define FO_PATHOBJ 2L
#define FO_DEVICE_FONT 1L
#define FO_OUTLINE_CAPABLE 2L

typedef struct _GLYPHBITS {
  POINTL ptlOrigin;
  SIZEL sizlBitmap;
  BYTE aj[1];
} GLYPHBITS;

typedef union _GLYPHDEF {
  GLYPHBITS *pgb;
  PATHOBJ *ppo;
} GLYPHDEF;

typedef struct _GLYPHPOS {
  HGLYPH hg;
  GLYPHDEF *pgdf;
  POINTL ptl;
} GLYPHPOS, *PGLYPHPOS;

typedef struct _GLYPHDATA {
  GLYPHDEF gdf;
  HGLYPH hg;
  FIX fxD;
  FIX fxA;
  FIX fxAB;
  FIX fxInkTop;
  FIX fxInkBottom;
  RECTL rclInk;
  POINTQF ptqD;
} GLYPHDATA;

typedef struct _STROBJ {
  ULONG cGlyphs;
  FLONG flAccel;
  ULONG ulCharInc;
  RECTL rclBkGround;
  GLYPHPOS *pgp;
  LPWSTR pwszOrg;
} STROBJ;

// STROBJ.flAccel.
#define SO_FLAG_DEFAULT_PLACEMENT 0x00000001
#define SO_HORIZONTAL 0x00000002
#define SO_VERTICAL 0x00000004
#define SO_REVERSED 0x00000008
#define SO_ZERO_BEARINGS 0x00000010
#define SO_CHAR_INC_EQUAL_BM_BASE 0x00000020
#define SO_MAXEXT_EQUAL_BM_SIDE 0x00000040
#define SO_DO_NOT_SUBSTITUTE_DEVICE_FONT 0x00000080
#define SO_GLYPHINDEX_TEXTOUT 0x00000100
#define SO_ESC_NOT_ORIENT 0x00000200
#define SO_DXDY 0x00000400
#define SO_CHARACTER_EXTRA 0x00000800
#define SO_BREAK_EXTRA 0x00001000

typedef struct _FONTSIM {
  PTRDIFF dpBold;
  PTRDIFF dpItalic;
  PTRDIFF dpBoldItalic;
} FONTSIM, *PFONTSIM;

typedef struct _FONTDIFF {
  BYTE jReserved1;
  BYTE jReserved2;
  BYTE jReserved3;
  BYTE bWeight;
  USHORT usWinWeight;
  FSHORT fsSelection;
  FWORD fwdAveCharWidth;
  FWORD fwdMaxCharInc;
  POINTL ptlCaret;
} FONTDIFF;

typedef struct tagPANOSE {
  BYTE bFamilyType;
  BYTE bSerifStyle;
  BYTE bWeight;
  BYTE bProportion;
  BYTE bContrast;
  BYTE bStrokeVariation;
  BYTE bArmStyle;
  BYTE bLetterform;
  BYTE bMidline;
  BYTE bXHeight;
} PANOSE;

typedef struct _IFIMETRICS {
  ULONG cjThis;
  ULONG cjIfiExtra;
  PTRDIFF dpwszFamilyName;
  PTRDIFF dpwszStyleName;
  PTRDIFF dpwszFaceName;
  PTRDIFF dpwszUniqueName;
  PTRDIFF dpFontSim;
  LONG lEmbedId;
  LONG lItalicAngle;
  LONG lCharBias;
  PTRDIFF dpCharSets;
  BYTE jWinCharSet;
  BYTE jWinPitchAndFamily;
  USHORT usWinWeight;
  ULONG flInfo;
  USHORT fsSelection;
  USHORT fsType;
  FWORD fwdUnitsPerEm;
  FWORD fwdLowestPPEm;
  FWORD fwdWinAscender;
  FWORD fwdWinDescender;
  FWORD fwdMacAscender;
  FWORD fwdMacDescender;
  FWORD fwdMacLineGap;
  FWORD fwdTypoAscender;
  FWORD fwdTypoDescender;
  FWORD fwdTypoLineGap;
  FWORD fwdAveCharWidth;
  FWORD fwdMaxCharInc;
  FWORD fwdCapHeight;
  FWORD fwdXHeight;
  FWORD fwdSubscriptXSize;
  FWORD fwdSubscriptYSize;
  FWORD fwdSubscriptXOffset;
  FWORD fwdSubscriptYOffset;
  FWORD fwdSuperscriptXSize;
  FWORD fwdSuperscriptYSize;
  FWORD fwdSuperscriptXOffset;
  FWORD fwdSuperscriptYOffset;
  FWORD fwdUnderscoreSize;
  FWORD fwdUnderscorePosition;
  FWORD fwdStrikeoutSize;
  FWORD fwdStrikeoutPosition;
  BYTE chFirstChar;
  BYTE chLastChar;
  BYTE chDefaultChar;
  BYTE chBreakChar;
  WCHAR wcFirstChar;
  WCHAR wcLastChar;
  WCHAR wcDefaultChar;
  WCHAR wcBreakChar;
  POINTL ptlBaseline;
  POINTL ptlAspect;
  POINTL ptlCaret;
  RECTL rclFontBox;
  BYTE achVendId[4];
  ULONG cKerningPairs;
  ULONG ulPanoseCulture;
  PANOSE panose;
} IFIMETRICS, *PIFIMETRICS;

// IFIMETRICS.flInfo.
#define FM_INFO_TECH_TRUETYPE 0x00000001
#define FM_INFO_TECH_BITMAP 0x00000002
#define FM_INFO_TECH_STROKE 0x00000004
#define FM_INFO_TECH_OUTLINE_NOT_TRUETYPE 0x00000008
#define FM_INFO_ARB_XFORMS 0x00000010
#define FM_INFO_1BPP 0x00000020
#define FM_INFO_4BPP 0x00000040
#define FM_INFO_8BPP 0x00000080
#define FM_INFO_16BPP 0x00000100
#define FM_INFO_24BPP 0x00000200
#define FM_INFO_32BPP 0x00000400
#define FM_INFO_INTEGER_WIDTH 0x00000800
#define FM_INFO_CONSTANT_WIDTH 0x00001000
#define FM_INFO_NOT_CONTIGUOUS 0x00002000
#define FM_INFO_TECH_MM 0x00004000
#define FM_INFO_RETURNS_OUTLINES 0x00008000
#define FM_INFO_RETURNS_STROKES 0x00010000
#define FM_INFO_RETURNS_BITMAPS 0x00020000
#define FM_INFO_DSIG 0x00040000
#define FM_INFO_RIGHT_HANDED 0x00080000
#define FM_INFO_INTEGRAL_SCALING 0x00100000
#define FM_INFO_90DEGREE_ROTATIONS 0x00200000
#define FM_INFO_OPTICALLY_FIXED_PITCH 0x00400000
#define FM_INFO_DO_NOT_ENUMERATE 0x00800000
#define FM_INFO_ISOTROPIC_SCALING_ONLY 0x01000000
#define FM_INFO_ANISOTROPIC_SCALING_ONLY 0x02000000
#define FM_INFO_TECH_CFF 0x04000000
#define FM_INFO_FAMILY_EQUIV 0x08000000
#define FM_INFO_DBCS_FIXED_PITCH 0x10000000
#define FM_INFO_NONNEGATIVE_AC 0x20000000
#define FM_INFO_IGNORE_TC_RA_ABLE 0x40000000
#define FM_INFO_TECH_TYPE1 0x80000000

// IFIMETRICS.fsSelection.
#define FM_SEL_ITALIC 0x0001
#define FM_SEL_UNDERSCORE 0x0002
#define FM_SEL_NEGATIVE 0x0004
#define FM_SEL_OUTLINED 0x0008
#define FM_SEL_STRIKEOUT 0x0010
#define FM_SEL_BOLD 0x0020
#define FM_SEL_REGULAR 0x0040

typedef struct _WCRUN {
  WCHAR wcLow;
  USHORT cGlyphs;
  HGLYPH *phg;
} WCRUN, *PWCRUN;

typedef struct _FD_GLYPHSET {
  ULONG cjThis;
  FLONG flAccel;
  ULONG cGlyphsSupported;
  ULONG cRuns;
  WCRUN awcrun[1];
} FD_GLYPHSET, *PFD_GLYPHSET;

#define GS_UNICODE_HANDLES 0x00000001
#define GS_8BIT_HANDLES 0x00000002
#define GS_16BIT_HANDLES 0x00000004

typedef struct _FD_KERNINGPAIR {
  WCHAR wcFirst;
  WCHAR wcSecond;
  FWORD fwdKern;
} FD_KERNINGPAIR;

typedef struct _FD_DEVICEMETRICS {
  FLONG flRealizedType;
  POINTE pteBase;
  POINTE pteSide;
  LONG lD;
  FIX fxMaxAscender;
  FIX fxMaxDescender;
  POINTL ptlUnderline1;
  POINTL ptlStrikeOut;
  POINTL ptlULThickness;
  POINTL ptlSOThickness;
  ULONG cxMax;
  ULONG cyMax;
  ULONG cjGlyphMax;
  FD_XFORM fdxQuantized;
  LONG lNonLinearExtLeading;
  LONG lNonLinearIntLeading;
  LONG lNonLinearMaxCharWidth;
  LONG lNonLinearAvgCharWidth;
  LONG lMinA;
  LONG lMinC;
  LONG lMinD;
  LONG alReserved[1];
} FD_DEVICEMETRICS, *PFD_DEVICEMETRICS;

// DrvQueryFontTree modes.
#define QFT_LIGATURES 1L
#define QFT_KERNPAIRS 2L
#define QFT_GLYPHSET 3L

// DrvQueryFontData modes.
#define QFD_GLYPHANDBITMAP 1L
#define QFD_GLYPHANDOUTLINE 2L
#define QFD_MAXEXTENTS 3L
#define QFD_TT_GLYPHANDBITMAP 4L
#define QFD_TT_GRAY1_BITMAP 5L
#define QFD_TT_GRAY2_BITMAP 6L
#define QFD_TT_GRAY4_BITMAP 8L
#define QFD_TT_GRAY8_BITMAP 9L
#define QFD_TT_MONO_BITMAP QFD_TT_GRAY1_BITMAP

// DrvQueryAdvanceWidths modes.
#define QAW_GETWIDTHS 0
#define QAW_GETEASYWIDTHS 1

// ---------------------------------------------------------------- palettes and time

#define PAL_INDEXED 0x00000001UL
#define PAL_BITFIELDS 0x00000002UL
#define PAL_RGB 0x00000004UL
#define PAL_BGR 0x00000008UL
#define PAL_CMYK 0x00000010UL

typedef struct _ENG_TIME_FIELDS {
  USHORT usYear;
  USHORT usMonth;
  USHORT usDay;
  USHORT usHour;
  USHORT usMinute;
  USHORT usSecond;
  USHORT usMilliseconds;
  USHORT usWeekday;  // 0 = Sunday
} ENG_TIME_FIELDS, *PENG_TIME_FIELDS;

// StretchBlt modes of EngStretchBlt.
#define BLACKONWHITE 1
#define WHITEONBLACK 2
#define COLORONCOLOR 3
#define HALFTONE 4

typedef struct _COLORADJUSTMENT COLORADJUSTMENT;

// ---------------------------------------------------------------- engine services

KV_BEGIN_DECLS

// Surfaces. EngCreateBitmap makes a bitmap surface of sizl pixels in format iFormat
// (BMF_1BPP..BMF_32BPP). Without pvBits the engine allocates the bits with its own
// stride (rows of whole DWORDs), zero-filled unless fl has BMF_NOZEROINIT, and lWidth
// is ignored; with pvBits the caller's buffer is used with the stride lWidth (which must
// hold a row) and stays the caller's. BMF_TOPDOWN puts the top row first in memory;
// otherwise pvScan0 points at the last row of the buffer and lDelta is negative. NULL
// with ERROR_INVALID_PARAMETER for a bad size or format, ERROR_NOT_ENOUGH_MEMORY when
// the bits need more than the engine gives (2 GB, counted in 64 bits) or cannot be had.
HBITMAP APIENTRY EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);
// A device surface: no bits, drawn only through the driver's hooks.
HSURF APIENTRY EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);
// Ties a surface to a device (from PlatEngRegisterDriver) and records the hooks the
// driver handles; the surface's dhpdev becomes the device's. FALSE with
// ERROR_INVALID_HANDLE for an unknown surface or device, ERROR_INVALID_PARAMETER for
// hooks outside HOOK_FLAGS.
BOOL APIENTRY EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);
// Marks a surface as the band of a banding driver.
BOOL APIENTRY EngMarkBandingSurface(HSURF hsurf);
// The surface's SURFOBJ, valid until the matching EngUnlockSurface (locks count).
SURFOBJ *APIENTRY EngLockSurface(HSURF hsurf);
VOID APIENTRY EngUnlockSurface(SURFOBJ *pso);
// Frees a surface and the bits the engine allocated for it. Its SURFOBJ is no longer
// accepted by any call afterwards, even while still locked.
BOOL APIENTRY EngDeleteSurface(HSURF hsurf);
// Fills the rectangle (clipped to the surface) with the pixel value iColor.
BOOL APIENTRY EngEraseSurface(SURFOBJ *pso, RECTL *prcl, ULONG iColor);

// Palettes. PAL_INDEXED takes cColors entries (0x00RRGGBB each) from pulColors;
// PAL_BGR and PAL_RGB need none; PAL_BITFIELDS takes the three masks.
HPALETTE APIENTRY EngCreatePalette(ULONG iMode, ULONG cColors, ULONG *pulColors, FLONG flRed, FLONG flGreen,
                                   FLONG flBlue);
BOOL APIENTRY EngDeletePalette(HPALETTE hpal);

// Blits. Each ROP3 (low byte: foreground, high byte: background under a mask bit of 0)
// is evaluated bitwise on the pattern, the source (converted to the destination's
// format through pxlo) and the destination. The target rectangle is clipped to the
// destination, to pco's bounds (DC_RECT; DC_COMPLEX is clipped to its bounds) and to
// the source; nothing outside the source, mask or pattern is ever read.
BOOL APIENTRY EngBitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                        RECTL *prclTrg, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4);
BOOL APIENTRY EngCopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
                          POINTL *pptlSrc);
// Nearest-neighbour stretch; an inverted destination or source rectangle mirrors. Every
// mode is drawn as COLORONCOLOR. The mask is not supported (must be NULL).
BOOL APIENTRY EngStretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                            COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                            ULONG iMode);

// Translation objects.
ULONG APIENTRY XLATEOBJ_iXlate(XLATEOBJ *pxlo, ULONG iColor);

// Brushes. BRUSHOBJ_pvGetRbrush answers the driver's realization, calling the
// DrvRealizeBrush of the driver the brush's target device was registered with the
// first time (NULL when the driver has none or it fails). BRUSHOBJ_pvAllocRbrush gives
// the driver cj bytes for it, owned by the brush.
PVOID APIENTRY BRUSHOBJ_pvAllocRbrush(BRUSHOBJ *pbo, ULONG cj);
PVOID APIENTRY BRUSHOBJ_pvGetRbrush(BRUSHOBJ *pbo);
ULONG APIENTRY BRUSHOBJ_ulGetBrushColor(BRUSHOBJ *pbo);

// Transforms.
ULONG APIENTRY XFORMOBJ_iGetXform(XFORMOBJ *pxo, XFORML *pxform);
BOOL APIENTRY XFORMOBJ_bApplyXform(XFORMOBJ *pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut);
XFORMOBJ *APIENTRY FONTOBJ_pxoGetXform(FONTOBJ *pfo);

// Resources, text and time.
PVOID APIENTRY EngFindResource(HANDLE h, int iName, int iType, PULONG pulSize);
VOID APIENTRY EngGetCurrentCodePage(PUSHORT OemCodePage, PUSHORT AnsiCodePage);
VOID APIENTRY EngUnicodeToMultiByteN(LPSTR MultiByteString, ULONG MaxBytesInMultiByteString,
                                     PULONG BytesInMultiByteString, PWSTR UnicodeString, ULONG BytesInUnicodeString);
VOID APIENTRY EngQueryLocalTime(PENG_TIME_FIELDS ptf);

KV_END_DECLS

// ---------------------------------------------------------------- layouts

#ifdef __cplusplus
static_assert(sizeof(DRVFN) == 8 && sizeof(DRVENABLEDATA) == 12, "enable data");
static_assert(sizeof(COLORINFO) == 120 && sizeof(GDIINFO) == 304, "GDIINFO");
static_assert(offsetof(GDIINFO, ciDevice) == 108 && offsetof(GDIINFO, ulHTPatternSize) == 236, "GDIINFO fields");
static_assert(sizeof(LOGFONTW) == 92 && sizeof(DEVINFO) == 300, "DEVINFO");
static_assert(offsetof(DEVINFO, cFonts) == 280 && offsetof(DEVINFO, hpalDefault) == 292, "DEVINFO fields");
static_assert(sizeof(FONTSIM) == 12 && sizeof(FONTDIFF) == 20 && sizeof(PANOSE) == 10, "font parts");
static_assert(sizeof(IFIMETRICS) == 184 && offsetof(IFIMETRICS, panose) == 172, "IFIMETRICS");
static_assert(offsetof(IFIMETRICS, fwdUnitsPerEm) == 56 && offsetof(IFIMETRICS, chFirstChar) == 108, "IFIMETRICS");
static_assert(sizeof(WCRUN) == 8 && sizeof(FD_GLYPHSET) == 24, "glyph sets");
static_assert(sizeof(FD_KERNINGPAIR) == 6 && sizeof(FD_DEVICEMETRICS) == 124, "font metrics");
static_assert(sizeof(POINTQF) == 16 && alignof(POINTQF) == 8, "POINTQF is 8-aligned");
static_assert(offsetof(GLYPHDATA, ptqD) == 48 && sizeof(GLYPHDATA) == 64, "GLYPHDATA");
static_assert(sizeof(GLYPHBITS) == 20 && offsetof(GLYPHBITS, aj) == 16 && sizeof(GLYPHPOS) == 16, "glyphs");
static_assert(sizeof(SURFOBJ) == 52 && offsetof(SURFOBJ, lDelta) == 36 && offsetof(SURFOBJ, iType) == 48, "SURFOBJ");
static_assert(sizeof(XLATEOBJ) == 20 && sizeof(BRUSHOBJ) == 12 && sizeof(XFORMOBJ) == 4, "objects");
static_assert(sizeof(XFORML) == 24 && sizeof(FLOATL) == 4 && sizeof(FLOAT_LONG) == 4, "transforms");
static_assert(sizeof(POINTFIX) == 8 && sizeof(RECTFX) == 16 && sizeof(POINTE) == 8, "fixed point");
static_assert(sizeof(CLIPOBJ) == 24 && sizeof(PATHOBJ) == 8 && sizeof(PATHDATA) == 12, "clip and path");
static_assert(sizeof(STROBJ) == 36 && sizeof(FONTOBJ) == 44 && sizeof(LINEATTRS) == 32, "text and lines");
static_assert(sizeof(ENG_TIME_FIELDS) == 16, "time fields");
#endif
