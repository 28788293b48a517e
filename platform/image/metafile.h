// Metafiles (wmf, emf) as SVG documents, and SVG rasterisation.
//
// A wmf file is played through libwmf's SVG device and an emf file is converted by
// libemf2svg; Qt SVG then draws the document into a raster of any size. Both libraries
// keep global state, so conversions are serialised.
#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>
#include <QString>

namespace tav::metafile {

struct SvgPicture {
    QByteArray svg;
    QSize logicalSize; // the metafile's frame in pixels at 96 dpi
};

// The frame of a metafile in pixels at 96 dpi, from its header (emf) or a scan of its
// records (wmf). Throws tav::Error(481) for a damaged file.
QSize wmfLogicalSize(const QByteArray& data, const QString& name);
QSize emfLogicalSize(const QByteArray& data, const QString& name);

// Converts the metafile to SVG. Throws tav::Error(481) when the file cannot be played.
SvgPicture wmfToSvg(const QByteArray& data, const QString& name);
SvgPicture emfToSvg(const QByteArray& data, const QString& name);

// Draws the SVG document over white into an RGB32 picture of `pixels`, its whole view
// box stretched to the picture. Needs a QGuiApplication (fonts). Throws tav::Error(481)
// when Qt SVG cannot read the document, tav::Error(7) when the raster cannot be made.
QImage rasterise(const QByteArray& svg, QSize pixels, const QString& name);

} // namespace tav::metafile
