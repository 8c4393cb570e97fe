#pragma once

#include "IdnDatagrams.h"
#include "IdnSession.h"
#include "PointOutputs.h"

#include <QObject>
#include <QString>

class QAction;
class QLabel;
class QStatusBar;
class QWidget;
class TFramePreview;
class TIniFile;

// Connects what the frame preview shows to the laser output: while output
// is on, the frame shown (the selected one, or the one playback is at, in
// the window's palette) streams to the projector, dark when it would hold
// the beam on one spot or take too long. Keeps the projector settings and
// shows the output's state in a field of the status bar.
class TLaserLink : public QObject
{
    Q_OBJECT

public:
    static const QString IniSection; // "Laser"

    TLaserLink(TFramePreview* preview, QStatusBar* statusBar, QObject* parent = nullptr);
    ~TLaserLink() override; // the projector goes dark

    // The projector settings.
    QString Address; // "host" or "host:port"; empty: none
    int Service = 0;
    int PointRate = 30000;
    int LargestDatagram = IdnDatagrams::DefaultLargestDatagram;
    TOutputKind Kind = TOutputKind::Idn;
    bool Continuous = false; // IDN as one stream instead of frames
    int LatencyMs = TEtherDreamSession::DefaultLatencyMs;
    int EtherBuffer = EtherDream::DefaultBufferCapacity; // as the DAC's broadcast told

    TIdnSession Session;
    TPointOutputs Points; // Ether Dream, IDN as a stream
    QLabel* StatusLabel = nullptr;

    // The Laser output command (checkable, its picture shows the state)
    // and Blackout, which works even while commands wait for a job.
    void Attach(QAction* output, QAction* blackout);

    // Starts the output to the projector set; false when no valid address
    // is set, and then nothing starts.
    bool Start();
    // Laser output off, Blackout, the end of the program: the channel and
    // the session close, so the projector goes dark.
    void Stop();
    bool On() const { return FWanted; }

    // Laser output from its command: on needs an address, which the
    // projector settings are asked for when none is set.
    void OutputCommand(bool on, QWidget* parent);
    // The projector settings dialog; output that is on goes on with the
    // new settings (or stops when the address was cleared).
    bool EditSettings(QWidget* parent);

    void LoadSettings(const TIniFile& ini);
    void SaveSettings(TIniFile& ini) const;
    void ApplyLanguage();
    QString StatusText() const;

private:
    void FrameShown();
    void SetShownFrame();
    void StartSession(const QHostAddress& address, uint16_t port);
    void ShowState();
    void StartPoints();
    QString PointsStatusText() const;
    QString DarkText() const;

    TFramePreview* FPreview;
    QAction* FOutput = nullptr;
    bool FWanted = false;
    int FLookup = -1; // a host name lookup under way
    QHostAddress FHost; // where the output goes, once known
    uint16_t FPort = 0;
    bool FWaveFailed = false; // the stream's send failed, not the frames' one
    int FOffReason = -1; // the text that says why output stopped by itself
    IdnDatagrams::TDarkReason FDark = IdnDatagrams::TDarkReason::None;
};
