<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="de" sourcelanguage="en">
<context>
    <name>TAbout</name>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Frame shape editor for OMA lab hosts&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Licensed under the MIT licence (below, under &lt;i&gt;Show Details&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon uses Qt %3 under the GNU LGPL version 3, PCRE2 under the BSD licence and Boost under the Boost Software License.</source>
        <translation>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Formeditor für Fassungsformen an OMA-Laborhosts&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Lizenziert unter der MIT-Lizenz (unten, unter &lt;i&gt;Details einblenden&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon verwendet Qt %3 unter der GNU LGPL Version 3, PCRE2 unter der BSD-Lizenz und Boost unter der Boost Software License.</translation>
    </message>
    <message>
        <source> Their licence texts are in %1.</source>
        <translation> Ihre Lizenztexte liegen in %1.</translation>
    </message>
    <message>
        <source>About Trevalon</source>
        <translation>Über Trevalon</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Über Qt</translation>
    </message>
</context>
<context>
    <name>TCrashReports</name>
    <message>
        <source>Trevalon stopped unexpectedly on %1. A report was saved to %2.</source>
        <translation>Trevalon wurde am %1 unerwartet beendet. Ein Bericht wurde in %2 gespeichert.</translation>
    </message>
    <message>
        <source>Open Report</source>
        <translation>Bericht öffnen</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ordner öffnen</translation>
    </message>
</context>
<context>
    <name>TFindPortForm</name>
    <message>
        <source>Find Host</source>
        <translation>Host suchen</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Abbrechen</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Cannot create the communication log file: %1</source>
        <translation>Die Kommunikationsprotokolldatei kann nicht angelegt werden: %1</translation>
    </message>
    <message>
        <source>Cannot write the communication log file %1: %2</source>
        <translation>Die Kommunikationsprotokolldatei %1 kann nicht geschrieben werden: %2</translation>
    </message>
    <message>
        <source>No viewer could be started for the communication log %1</source>
        <translation>Für das Kommunikationsprotokoll %1 konnte kein Anzeigeprogramm gestartet werden</translation>
    </message>
    <message>
        <source>No viewer could be started for the help file %1</source>
        <translation>Für die Hilfedatei %1 konnte kein Anzeigeprogramm gestartet werden</translation>
    </message>
    <message>
        <source>Cannot find the help file %1 or %2</source>
        <translation>Die Hilfedatei %1 oder %2 wurde nicht gefunden</translation>
    </message>
    <message>
        <source>OMA job file, format 1, received point count (*.oma)</source>
        <translation>OMA-Auftragsdatei, Format 1, empfangene Punktzahl (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 1, 1024 points (*.oma)</source>
        <translation>OMA-Auftragsdatei, Format 1, 1024 Punkte (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, received point count (*.oma)</source>
        <translation>OMA-Auftragsdatei, Format 4, empfangene Punktzahl (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, 1024 points (*.oma)</source>
        <translation>OMA-Auftragsdatei, Format 4, 1024 Punkte (*.oma)</translation>
    </message>
    <message>
        <source>Open Job File</source>
        <translation>Auftragsdatei öffnen</translation>
    </message>
    <message>
        <source>Save Job File</source>
        <translation>Auftragsdatei speichern</translation>
    </message>
    <message>
        <source>Save as PDF</source>
        <translation>Als PDF speichern</translation>
    </message>
    <message>
        <source>OMA job files (*.oma)</source>
        <translation>OMA-Auftragsdateien (*.oma)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Alle Dateien (*)</translation>
    </message>
    <message>
        <source>Shape %1</source>
        <translation>Form %1</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>PDF-Dateien (*.pdf)</translation>
    </message>
    <message>
        <source>Try with the sample host</source>
        <translation>Mit dem Beispielhost ausprobieren</translation>
    </message>
    <message>
        <source>Session transcripts (*.jsonl)</source>
        <translation>Sitzungsmitschnitte (*.jsonl)</translation>
    </message>
    <message>
        <source>Save Session Transcript</source>
        <translation>Sitzungsmitschnitt speichern</translation>
    </message>
    <message>
        <source>&amp;Tray/Job Number</source>
        <translation>&amp;Tray-/Auftragsnummer</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>Kreis</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Quadrat</translation>
    </message>
    <message>
        <source>Diamond</source>
        <translation>Raute</translation>
    </message>
    <message>
        <source>Flower Pot</source>
        <translation>Blumentopf</translation>
    </message>
    <message>
        <source>Open Job File...</source>
        <translation>Auftragsdatei öffnen...</translation>
    </message>
    <message>
        <source>Save Job File...</source>
        <translation>Auftragsdatei speichern...</translation>
    </message>
    <message>
        <source>Print Shape...</source>
        <translation>Form drucken...</translation>
    </message>
    <message>
        <source>Save as PDF...</source>
        <translation>Als PDF speichern...</translation>
    </message>
    <message>
        <source>&amp;Request Shape</source>
        <translation>Form an&amp;fordern</translation>
    </message>
    <message>
        <source>&amp;Save Shape</source>
        <translation>Form &amp;speichern</translation>
    </message>
    <message>
        <source>Show Orig Shape</source>
        <translation>Originalform zeigen</translation>
    </message>
    <message>
        <source>Detailed Grid</source>
        <translation>Feines Raster</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Left</source>
        <translation>Form um einen Datenpunkt nach links drehen</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Right</source>
        <translation>Form um einen Datenpunkt nach rechts drehen</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Zurücksetzen</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Hilfe</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>&amp;A</source>
        <translation>&amp;A</translation>
    </message>
    <message>
        <source>&amp;B</source>
        <translation>&amp;B</translation>
    </message>
    <message>
        <source>&amp;Circ</source>
        <translation>&amp;Umf.</translation>
    </message>
    <message>
        <source>&amp;DBL</source>
        <translation>&amp;DBL</translation>
    </message>
    <message>
        <source>Lock B at Datum</source>
        <translation>B an Bezugslinie halten</translation>
    </message>
    <message>
        <source>Display Communication Log</source>
        <translation>Kommunikationsprotokoll anzeigen</translation>
    </message>
    <message>
        <source>Save Session Transcript...</source>
        <translation>Sitzungsmitschnitt speichern...</translation>
    </message>
    <message>
        <source>About Trevalon...</source>
        <translation>Über Trevalon...</translation>
    </message>
</context>
<context>
    <name>TScreenTexts</name>
    <message>
        <source>Ready</source>
        <translation>Bereit</translation>
    </message>
    <message>
        <source>Ver %1</source>
        <translation>Ver. %1</translation>
    </message>
    <message>
        <source>Sent request to initialize</source>
        <translation>Initialisierungsanfrage gesendet</translation>
    </message>
    <message>
        <source>Sent information specs to host</source>
        <translation>Angaben an den Host gesendet</translation>
    </message>
    <message>
        <source>Requesting job %1</source>
        <translation>Auftrag %1 wird angefordert</translation>
    </message>
    <message>
        <source>Requesting to store job %1</source>
        <translation>Speichern von Auftrag %1 wird angefragt</translation>
    </message>
    <message>
        <source>Negotiating trace format with host</source>
        <translation>Tracerformat wird mit dem Host ausgehandelt</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Daten empfangen</translation>
    </message>
    <message>
        <source>Storing the shape to job %1</source>
        <translation>Form wird in Auftrag %1 gespeichert</translation>
    </message>
    <message>
        <source>Job stored</source>
        <translation>Auftrag gespeichert</translation>
    </message>
    <message>
        <source>Timeout waiting for host</source>
        <translation>Zeitüberschreitung beim Warten auf den Host</translation>
    </message>
    <message>
        <source>The host&apos;s reply was damaged on the line (checksum error); if this host is known to send wrong checksums, turn off checksum verification in Settings</source>
        <translation>Die Antwort des Hosts wurde auf der Leitung beschädigt (Prüfsummenfehler); wenn dieser Host bekanntermaßen falsche Prüfsummen sendet, schalten Sie die Prüfsummenprüfung in den Einstellungen aus</translation>
    </message>
    <message>
        <source>Timeout sending to host: %1 of %2 bytes sent</source>
        <translation>Zeitüberschreitung beim Senden an den Host: %1 von %2 Bytes gesendet</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points</source>
        <translation>Ein Tracing mit %1 Punkten kann nicht gespeichert werden</translation>
    </message>
    <message>
        <source>Display Log</source>
        <translation>Protokoll anzeigen</translation>
    </message>
    <message>
        <source>Did not get positive response from host</source>
        <translation>Keine positive Antwort vom Host erhalten</translation>
    </message>
    <message>
        <source>Did not receive status 0 on init</source>
        <translation>Bei der Initialisierung kein Status 0 erhalten</translation>
    </message>
    <message>
        <source>Did not receive DEF from host (init 2)</source>
        <translation>Kein DEF vom Host erhalten (Init 2)</translation>
    </message>
    <message>
        <source>Did not receive TRCFMT from host (init 2)</source>
        <translation>Kein TRCFMT vom Host erhalten (Init 2)</translation>
    </message>
    <message>
        <source>Did not find the host&apos;s DEF value</source>
        <translation>Der DEF-Wert des Hosts wurde nicht gefunden</translation>
    </message>
    <message>
        <source>Did not store the shape to the host</source>
        <translation>Die Form wurde nicht auf dem Host gespeichert</translation>
    </message>
    <message>
        <source>Job not found/not available</source>
        <translation>Auftrag nicht gefunden/nicht verfügbar</translation>
    </message>
    <message>
        <source>Reply from host is too complex to read</source>
        <translation>Die Antwort des Hosts ist zu komplex zum Lesen</translation>
    </message>
    <message>
        <source>Cannot find trace data</source>
        <translation>Keine Tracerdaten gefunden</translation>
    </message>
    <message>
        <source>Cannot find the trace format (no TRCFMT record)</source>
        <translation>Das Tracerformat wurde nicht gefunden (kein TRCFMT-Eintrag)</translation>
    </message>
    <message>
        <source>Trace type %1 is unsupported</source>
        <translation>Tracertyp %1 wird nicht unterstützt</translation>
    </message>
    <message>
        <source>Trace contains %1 points, but number of points is %2</source>
        <translation>Das Tracing enthält %1 Punkte, die Punktzahl ist aber %2</translation>
    </message>
    <message>
        <source>Trace data has %1 digits, but %2 points need %3</source>
        <translation>Die Tracerdaten haben %1 Ziffern, %2 Punkte brauchen aber %3</translation>
    </message>
    <message>
        <source>Trace data holds &quot;%1&quot;, which is not a number</source>
        <translation>Die Tracerdaten enthalten „%1“, das keine Zahl ist</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2, outside 0 to 9999</source>
        <translation>Ungültige Tracerdaten: Punkt %1 hat den Wert %2, außerhalb von 0 bis 9999</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2</source>
        <translation>Ungültige Tracerdaten: Punkt %1 hat den Wert %2</translation>
    </message>
    <message>
        <source>Invalid trace data: %1 points requested, format 4 allows 0 to 4096</source>
        <translation>Ungültige Tracerdaten: %1 Punkte verlangt, Format 4 erlaubt 0 bis 4096</translation>
    </message>
    <message>
        <source>Invalid trace data: format 4 data of %1 bytes exceeds 8193 bytes</source>
        <translation>Ungültige Tracerdaten: Format-4-Daten von %1 Bytes überschreiten 8193 Bytes</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>„%1“ ist keine gültige Ganzzahl</translation>
    </message>
    <message>
        <source>Cannot send an empty trace in format 4</source>
        <translation>Ein leeres Tracing kann nicht in Format 4 gesendet werden</translation>
    </message>
    <message>
        <source>Cannot send a trace of %1 points in format 4 (at most 4096)</source>
        <translation>Ein Tracing mit %1 Punkten kann nicht in Format 4 gesendet werden (höchstens 4096)</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points (%2 to %3)</source>
        <translation>Ein Tracing mit %1 Punkten kann nicht gespeichert werden (%2 bis %3)</translation>
    </message>
    <message>
        <source>Cannot read a trace of %1 points (%2 to %3)</source>
        <translation>Ein Tracing mit %1 Punkten kann nicht gelesen werden (%2 bis %3)</translation>
    </message>
    <message>
        <source>There is no shape to save</source>
        <translation>Es gibt keine Form zum Speichern</translation>
    </message>
    <message>
        <source>There is no shape to print</source>
        <translation>Es gibt keine Form zum Drucken</translation>
    </message>
    <message>
        <source>There is no session transcript to save yet</source>
        <translation>Es gibt noch keinen Sitzungsmitschnitt zum Speichern</translation>
    </message>
    <message>
        <source>Wait until the conversation with the host has ended</source>
        <translation>Warten Sie, bis die Kommunikation mit dem Host beendet ist</translation>
    </message>
    <message>
        <source>Opened job file %1 (right eye)</source>
        <translation>Auftragsdatei %1 geöffnet (rechtes Auge)</translation>
    </message>
    <message>
        <source>Opened job file %1 (left eye)</source>
        <translation>Auftragsdatei %1 geöffnet (linkes Auge)</translation>
    </message>
    <message>
        <source>Opened job file %1 (both eyes)</source>
        <translation>Auftragsdatei %1 geöffnet (beide Augen)</translation>
    </message>
    <message>
        <source>Opened job file %1</source>
        <translation>Auftragsdatei %1 geöffnet</translation>
    </message>
    <message>
        <source>Saved job file %1</source>
        <translation>Auftragsdatei %1 gespeichert</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 gespeichert</translation>
    </message>
    <message>
        <source>Shape printed</source>
        <translation>Form gedruckt</translation>
    </message>
    <message>
        <source>Cannot save the session transcript: %1</source>
        <translation>Der Sitzungsmitschnitt kann nicht gespeichert werden: %1</translation>
    </message>
    <message>
        <source>Cannot read the job file: it is not a file</source>
        <translation>Die Auftragsdatei kann nicht gelesen werden: Sie ist keine Datei</translation>
    </message>
    <message>
        <source>Cannot read the job file: %1</source>
        <translation>Die Auftragsdatei kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>Cannot write the job file: %1</source>
        <translation>Die Auftragsdatei kann nicht geschrieben werden: %1</translation>
    </message>
    <message>
        <source>The file is too large for a job file (%1 KiB, at most %2 KiB)</source>
        <translation>Die Datei ist zu groß für eine Auftragsdatei (%1 KiB, höchstens %2 KiB)</translation>
    </message>
    <message>
        <source>The file is too large for a job file (at most %1 KiB)</source>
        <translation>Die Datei ist zu groß für eine Auftragsdatei (höchstens %1 KiB)</translation>
    </message>
    <message>
        <source>Tray number may only contain Latin-1 characters</source>
        <translation>Die Traynummer darf nur Latin-1-Zeichen enthalten</translation>
    </message>
    <message>
        <source>Box A Too small</source>
        <translation>Box A zu klein</translation>
    </message>
    <message>
        <source>Box B Too small</source>
        <translation>Box B zu klein</translation>
    </message>
    <message>
        <source>Circ Too small</source>
        <translation>Umfang zu klein</translation>
    </message>
    <message>
        <source>Radius %1 mm is outside 0 to 99.99 mm</source>
        <translation>Radius %1 mm liegt außerhalb von 0 bis 99.99 mm</translation>
    </message>
    <message>
        <source>Too many points to scale the shape: %1 (at most %2)</source>
        <translation>Zu viele Punkte zum Skalieren der Form: %1 (höchstens %2)</translation>
    </message>
    <message>
        <source>Floating point division by zero</source>
        <translation>Gleitkommadivision durch null</translation>
    </message>
    <message>
        <source>Invalid floating point operation</source>
        <translation>Ungültige Gleitkommaoperation</translation>
    </message>
    <message>
        <source>The serial port is not open: it has been closed. Choose a port in Settings.</source>
        <translation>Die serielle Schnittstelle ist nicht offen: Sie wurde geschlossen. Wählen Sie eine Schnittstelle in den Einstellungen.</translation>
    </message>
    <message>
        <source>The serial port is not open: %1. Choose a port in Settings.</source>
        <translation>Die serielle Schnittstelle ist nicht offen: %1. Wählen Sie eine Schnittstelle in den Einstellungen.</translation>
    </message>
    <message>
        <source>Unable to open %1: the port is being closed</source>
        <translation>%1 kann nicht geöffnet werden: Die Schnittstelle wird gerade geschlossen</translation>
    </message>
    <message>
        <source>Unable to open %1: %2</source>
        <translation>%1 kann nicht geöffnet werden: %2</translation>
    </message>
    <message>
        <source>Unable to set com state: %1</source>
        <translation>Schnittstellenparameter können nicht gesetzt werden: %1</translation>
    </message>
    <message>
        <source>Unable to set up comm: %1</source>
        <translation>Schnittstelle kann nicht eingerichtet werden: %1</translation>
    </message>
    <message>
        <source>Unable to start the event thread: %1</source>
        <translation>Der Ereignis-Thread kann nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>Unable to set comm mask: %1</source>
        <translation>Die Ereignismaske kann nicht gesetzt werden: %1</translation>
    </message>
    <message>
        <source>Operation failed: %1</source>
        <translation>Vorgang fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Operation aborted: %1</source>
        <translation>Vorgang abgebrochen: %1</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No such host</source>
        <translation>Keine Verbindung zu %1: Host unbekannt</translation>
    </message>
    <message>
        <source>Cannot connect to %1: Connection refused</source>
        <translation>Keine Verbindung zu %1: Verbindung abgelehnt</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No answer within %2 s</source>
        <translation>Keine Verbindung zu %1: Keine Antwort innerhalb von %2 s</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2</source>
        <translation>Keine Verbindung zu %1: %2</translation>
    </message>
    <message>
        <source>The host closed the connection</source>
        <translation>Der Host hat die Verbindung geschlossen</translation>
    </message>
    <message>
        <source>The connection to the host failed: %1</source>
        <translation>Die Verbindung zum Host ist fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>The network link is not open</source>
        <translation>Die Netzwerkverbindung ist nicht offen</translation>
    </message>
    <message>
        <source>Cannot start the network link: %1</source>
        <translation>Die Netzwerkverbindung kann nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>Cannot start the network: %1</source>
        <translation>Das Netzwerk kann nicht gestartet werden: %1</translation>
    </message>
    <message>
        <source>Not a network address: %1</source>
        <translation>Keine Netzwerkadresse: %1</translation>
    </message>
    <message>
        <source>The sample host did not start: %1</source>
        <translation>Der Beispielhost ist nicht gestartet: %1</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on all available serial ports at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>Der Host wird nun an allen verfügbaren<byte value="xd"/>seriellen Schnittstellen mit allen<byte value="xd"/>verfügbaren Baudraten gesucht.<byte value="xd"/><byte value="xd"/>Fortfahren?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1 at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>Der Host wird nun<byte value="xd"/>an %1 mit allen<byte value="xd"/>verfügbaren Baudraten gesucht.<byte value="xd"/><byte value="xd"/>Fortfahren?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>Der Host wird nun<byte value="xd"/>an %1 gesucht.<byte value="xd"/><byte value="xd"/>Fortfahren?</translation>
    </message>
    <message>
        <source>Confirm...</source>
        <translation>Bestätigen...</translation>
    </message>
    <message>
        <source>Found host on %1</source>
        <translation>Host an %1 gefunden</translation>
    </message>
    <message>
        <source>Success!</source>
        <translation>Erfolg!</translation>
    </message>
    <message>
        <source>Cancelled finding the host</source>
        <translation>Hostsuche abgebrochen</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Abgebrochen</translation>
    </message>
    <message>
        <source>Did not find host</source>
        <translation>Host nicht gefunden</translation>
    </message>
    <message>
        <source>Host Not Found</source>
        <translation>Host nicht gefunden</translation>
    </message>
    <message>
        <source>Unable to access %1</source>
        <translation>Kein Zugriff auf %1</translation>
    </message>
    <message>
        <source>Problem...</source>
        <translation>Problem...</translation>
    </message>
    <message>
        <source>Trying %1 at %2 baud...</source>
        <translation>Versuche %1 mit %2 Baud...</translation>
    </message>
    <message>
        <source>Trying %1...</source>
        <translation>Versuche %1...</translation>
    </message>
    <message>
        <source>Reply matching failed: %1</source>
        <translation>Auswertung der Antwort fehlgeschlagen: %1</translation>
    </message>
    <message>
        <source>Unable to read com status: %1</source>
        <translation>Schnittstellenstatus kann nicht gelesen werden: %1</translation>
    </message>
    <message>
        <source>Cannot abort operation: %1</source>
        <translation>Vorgang kann nicht abgebrochen werden: %1</translation>
    </message>
    <message>
        <source>The device server at %1 does not answer as an rfc2217:// server: if it is a raw TCP port, use socket://%2</source>
        <translation>Der Geräteserver unter %1 antwortet nicht als rfc2217://-Server: Ist es ein reiner TCP-Port, verwenden Sie socket://%2</translation>
    </message>
</context>
<context>
    <name>TSettingsForm</name>
    <message>
        <source>Settings</source>
        <translation>Einstellungen</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>Schnittstelle</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baudrate</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parität</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>Datenbits</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Stoppbits</translation>
    </message>
    <message>
        <source>Tracer Mode</source>
        <translation>Tracermodus</translation>
    </message>
    <message>
        <source>Pause After Init</source>
        <translation>Pause nach Init</translation>
    </message>
    <message>
        <source>Verify Checksums</source>
        <translation>Prüfsummen prüfen</translation>
    </message>
    <message>
        <source>Ask the host again for a reply damaged on the line. Turn off only for a host known to send wrong checksums.</source>
        <translation>Eine auf der Leitung beschädigte Antwort erneut beim Host anfordern. Nur für einen Host ausschalten, der bekanntermaßen falsche Prüfsummen sendet.</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Abbrechen</translation>
    </message>
    <message>
        <source>Discover &amp;Host</source>
        <translation>&amp;Host suchen</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Sprache</translation>
    </message>
    <message>
        <source>System</source>
        <translation>System</translation>
    </message>
    <message>
        <source>Takes effect at the next start.</source>
        <translation>Gilt ab dem nächsten Start.</translation>
    </message>
    <message>
        <source>Not used for socket:// ports: set the line at the device server</source>
        <translation>Für socket://-Schnittstellen nicht verwendet: Leitung am Geräteserver einstellen</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Keine</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Gerade</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Ungerade</translation>
    </message>
    <message>
        <source>Preset Init</source>
        <translation>Vorgabe-Init</translation>
    </message>
    <message>
        <source>No Init</source>
        <translation>Ohne Init</translation>
    </message>
</context>
<context>
    <name>TShapePicture</name>
    <message>
        <source>Box A: %1, Box B: %2, Circ: %3</source>
        <translation>Box A: %1, Box B: %2, Umf.: %3</translation>
    </message>
</context>
</TS>
