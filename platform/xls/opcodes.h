// Record identifiers of the BIFF8 workbook stream, with their names for dumps and
// error messages. Names follow the file format documentation.
#pragma once

#include <cstdint>

namespace tav::xls::op {

inline constexpr std::uint16_t FORMULA = 0x0006;
inline constexpr std::uint16_t EOF_ = 0x000A;
inline constexpr std::uint16_t CALCCOUNT = 0x000C;
inline constexpr std::uint16_t CALCMODE = 0x000D;
inline constexpr std::uint16_t PRECISION = 0x000E;
inline constexpr std::uint16_t REFMODE = 0x000F;
inline constexpr std::uint16_t DELTA = 0x0010;
inline constexpr std::uint16_t ITERATION = 0x0011;
inline constexpr std::uint16_t PROTECT = 0x0012;
inline constexpr std::uint16_t HEADER = 0x0014;
inline constexpr std::uint16_t FOOTER = 0x0015;
inline constexpr std::uint16_t EXTERNSHEET = 0x0017;
inline constexpr std::uint16_t NAME = 0x0018;
inline constexpr std::uint16_t VERTICALPAGEBREAKS = 0x001A;
inline constexpr std::uint16_t HORIZONTALPAGEBREAKS = 0x001B;
inline constexpr std::uint16_t NOTE = 0x001C;
inline constexpr std::uint16_t SELECTION = 0x001D;
inline constexpr std::uint16_t DATEMODE = 0x0022;
inline constexpr std::uint16_t LEFTMARGIN = 0x0026;
inline constexpr std::uint16_t RIGHTMARGIN = 0x0027;
inline constexpr std::uint16_t TOPMARGIN = 0x0028;
inline constexpr std::uint16_t BOTTOMMARGIN = 0x0029;
inline constexpr std::uint16_t PRINTHEADERS = 0x002A;
inline constexpr std::uint16_t PRINTGRIDLINES = 0x002B;
inline constexpr std::uint16_t FONT = 0x0031;
inline constexpr std::uint16_t CONTINUE = 0x003C;
inline constexpr std::uint16_t WINDOW1 = 0x003D;
inline constexpr std::uint16_t PANE = 0x0041;
inline constexpr std::uint16_t CODEPAGE = 0x0042;
inline constexpr std::uint16_t PLS = 0x004D;
inline constexpr std::uint16_t DEFCOLWIDTH = 0x0055;
inline constexpr std::uint16_t SAVERECALC = 0x005F;
inline constexpr std::uint16_t OBJ = 0x005D;
inline constexpr std::uint16_t COLINFO = 0x007D;
inline constexpr std::uint16_t GUTS = 0x0080;
inline constexpr std::uint16_t WSBOOL = 0x0081;
inline constexpr std::uint16_t GRIDSET = 0x0082;
inline constexpr std::uint16_t HCENTER = 0x0083;
inline constexpr std::uint16_t VCENTER = 0x0084;
inline constexpr std::uint16_t BOUNDSHEET = 0x0085;
inline constexpr std::uint16_t COUNTRY = 0x008C;
inline constexpr std::uint16_t PALETTE = 0x0092;
inline constexpr std::uint16_t STANDARDWIDTH = 0x0099;
inline constexpr std::uint16_t SCL = 0x00A0;
inline constexpr std::uint16_t SETUP = 0x00A1;
inline constexpr std::uint16_t MULRK = 0x00BD;
inline constexpr std::uint16_t MULBLANK = 0x00BE;
inline constexpr std::uint16_t DBCELL = 0x00D7;
inline constexpr std::uint16_t XF = 0x00E0;
inline constexpr std::uint16_t MERGECELLS = 0x00E5;
inline constexpr std::uint16_t MSODRAWINGGROUP = 0x00EB;
inline constexpr std::uint16_t MSODRAWING = 0x00EC;
inline constexpr std::uint16_t MSODRAWINGSELECTION = 0x00ED;
inline constexpr std::uint16_t SST = 0x00FC;
inline constexpr std::uint16_t LABELSST = 0x00FD;
inline constexpr std::uint16_t EXTSST = 0x00FF;
inline constexpr std::uint16_t USESELFS = 0x0160;
inline constexpr std::uint16_t SUPBOOK = 0x01AE;
inline constexpr std::uint16_t TXO = 0x01B6;
inline constexpr std::uint16_t DIMENSIONS = 0x0200;
inline constexpr std::uint16_t BLANK = 0x0201;
inline constexpr std::uint16_t NUMBER = 0x0203;
inline constexpr std::uint16_t LABEL = 0x0204;
inline constexpr std::uint16_t BOOLERR = 0x0205;
inline constexpr std::uint16_t STRING = 0x0207;
inline constexpr std::uint16_t ROW = 0x0208;
inline constexpr std::uint16_t INDEX = 0x020B;
inline constexpr std::uint16_t ARRAY = 0x0221;
inline constexpr std::uint16_t DEFAULTROWHEIGHT = 0x0225;
inline constexpr std::uint16_t TABLE = 0x0236;
inline constexpr std::uint16_t WINDOW2 = 0x023E;
inline constexpr std::uint16_t RK = 0x027E;
inline constexpr std::uint16_t STYLE = 0x0293;
inline constexpr std::uint16_t FORMAT = 0x041E;
inline constexpr std::uint16_t SHRFMLA = 0x04BC;
inline constexpr std::uint16_t BOF = 0x0809;
inline constexpr std::uint16_t XFCRC = 0x087C;
inline constexpr std::uint16_t XFEXT = 0x087D;
inline constexpr std::uint16_t PLV = 0x088B; // page layout view settings, after WINDOW2

// Name of a record identifier ("SST", "CONTINUE"), or "0xNNNN" for others.
const char* opcodeName(std::uint16_t opcode);

} // namespace tav::xls::op
