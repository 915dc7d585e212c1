<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="it" sourcelanguage="en">
<context>
    <name>TAbout</name>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Frame shape editor for OMA lab hosts&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Licensed under the MIT licence (below, under &lt;i&gt;Show Details&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon uses Qt %3 under the GNU LGPL version 3, PCRE2 under the BSD licence and Boost under the Boost Software License.</source>
        <translation>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Editor di forme di montatura per host di laboratorio OMA&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Concesso in licenza MIT (sotto, in &lt;i&gt;Mostra dettagli&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon usa Qt %3 con licenza GNU LGPL versione 3, PCRE2 con licenza BSD e Boost con la Boost Software License.</translation>
    </message>
    <message>
        <source> Their licence texts are in %1.</source>
        <translation> I loro testi di licenza si trovano in %1.</translation>
    </message>
    <message>
        <source>About Trevalon</source>
        <translation>Informazioni su Trevalon</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>Informazioni su Qt</translation>
    </message>
</context>
<context>
    <name>TCrashReports</name>
    <message>
        <source>Trevalon stopped unexpectedly on %1. A report was saved to %2.</source>
        <translation>Trevalon si è chiuso in modo imprevisto il %1. Un rapporto è stato salvato in %2.</translation>
    </message>
    <message>
        <source>Open Report</source>
        <translation>Apri rapporto</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Apri cartella</translation>
    </message>
</context>
<context>
    <name>TFindPortForm</name>
    <message>
        <source>Find Host</source>
        <translation>Cerca host</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annulla</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Cannot create the communication log file: %1</source>
        <translation>Impossibile creare il file di registro della comunicazione: %1</translation>
    </message>
    <message>
        <source>Cannot write the communication log file %1: %2</source>
        <translation>Impossibile scrivere il file di registro della comunicazione %1: %2</translation>
    </message>
    <message>
        <source>No viewer could be started for the communication log %1</source>
        <translation>Non è stato possibile avviare un visualizzatore per il registro della comunicazione %1</translation>
    </message>
    <message>
        <source>No viewer could be started for the help file %1</source>
        <translation>Non è stato possibile avviare un visualizzatore per il file della guida %1</translation>
    </message>
    <message>
        <source>Cannot find the help file %1 or %2</source>
        <translation>File della guida %1 o %2 non trovato</translation>
    </message>
    <message>
        <source>OMA job file, format 1, received point count (*.oma)</source>
        <translation>File di lavoro OMA, formato 1, numero di punti ricevuto (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 1, 1024 points (*.oma)</source>
        <translation>File di lavoro OMA, formato 1, 1024 punti (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, received point count (*.oma)</source>
        <translation>File di lavoro OMA, formato 4, numero di punti ricevuto (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, 1024 points (*.oma)</source>
        <translation>File di lavoro OMA, formato 4, 1024 punti (*.oma)</translation>
    </message>
    <message>
        <source>Open Job File</source>
        <translation>Apri file di lavoro</translation>
    </message>
    <message>
        <source>Save Job File</source>
        <translation>Salva file di lavoro</translation>
    </message>
    <message>
        <source>Save as PDF</source>
        <translation>Salva come PDF</translation>
    </message>
    <message>
        <source>OMA job files (*.oma)</source>
        <translation>File di lavoro OMA (*.oma)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Tutti i file (*)</translation>
    </message>
    <message>
        <source>Shape %1</source>
        <translation>Forma %1</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>File PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Try with the sample host</source>
        <translation>Prova con l’host di esempio</translation>
    </message>
    <message>
        <source>Session transcripts (*.jsonl)</source>
        <translation>Trascrizioni di sessione (*.jsonl)</translation>
    </message>
    <message>
        <source>Save Session Transcript</source>
        <translation>Salva trascrizione di sessione</translation>
    </message>
    <message>
        <source>&amp;Tray/Job Number</source>
        <translation>N. &amp;vassoio/lavoro</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>Cerchio</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Quadrato</translation>
    </message>
    <message>
        <source>Diamond</source>
        <translation>Rombo</translation>
    </message>
    <message>
        <source>Flower Pot</source>
        <translation>Vaso da fiori</translation>
    </message>
    <message>
        <source>Open Job File...</source>
        <translation>Apri file di lavoro...</translation>
    </message>
    <message>
        <source>Save Job File...</source>
        <translation>Salva file di lavoro...</translation>
    </message>
    <message>
        <source>Print Shape...</source>
        <translation>Stampa forma...</translation>
    </message>
    <message>
        <source>Save as PDF...</source>
        <translation>Salva come PDF...</translation>
    </message>
    <message>
        <source>&amp;Request Shape</source>
        <translation>&amp;Richiedi forma</translation>
    </message>
    <message>
        <source>&amp;Save Shape</source>
        <translation>&amp;Salva forma</translation>
    </message>
    <message>
        <source>Show Orig Shape</source>
        <translation>Forma originale</translation>
    </message>
    <message>
        <source>Detailed Grid</source>
        <translation>Griglia fine</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Left</source>
        <translation>Ruota la forma di un punto a sinistra</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Right</source>
        <translation>Ruota la forma di un punto a destra</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Ripristina</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Guida</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
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
        <translation>&amp;Circ.</translation>
    </message>
    <message>
        <source>&amp;DBL</source>
        <translation>&amp;DBL</translation>
    </message>
    <message>
        <source>Lock B at Datum</source>
        <translation>Blocca B al datum</translation>
    </message>
    <message>
        <source>Display Communication Log</source>
        <translation>Mostra registro della comunicazione</translation>
    </message>
    <message>
        <source>Save Session Transcript...</source>
        <translation>Salva trascrizione di sessione...</translation>
    </message>
    <message>
        <source>About Trevalon...</source>
        <translation>Informazioni su Trevalon...</translation>
    </message>
</context>
<context>
    <name>TScreenTexts</name>
    <message>
        <source>Ready</source>
        <translation>Pronto</translation>
    </message>
    <message>
        <source>Ver %1</source>
        <translation>Ver. %1</translation>
    </message>
    <message>
        <source>Sent request to initialize</source>
        <translation>Richiesta di inizializzazione inviata</translation>
    </message>
    <message>
        <source>Sent information specs to host</source>
        <translation>Specifiche inviate all’host</translation>
    </message>
    <message>
        <source>Requesting job %1</source>
        <translation>Richiesta del lavoro %1</translation>
    </message>
    <message>
        <source>Requesting to store job %1</source>
        <translation>Richiesta di salvare il lavoro %1</translation>
    </message>
    <message>
        <source>Negotiating trace format with host</source>
        <translation>Negoziazione del formato di tracciatura con l’host</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Dati ricevuti</translation>
    </message>
    <message>
        <source>Storing the shape to job %1</source>
        <translation>Salvataggio della forma nel lavoro %1</translation>
    </message>
    <message>
        <source>Job stored</source>
        <translation>Lavoro salvato</translation>
    </message>
    <message>
        <source>Timeout waiting for host</source>
        <translation>Tempo scaduto in attesa dell’host</translation>
    </message>
    <message>
        <source>The host&apos;s reply was damaged on the line (checksum error); if this host is known to send wrong checksums, turn off checksum verification in Settings</source>
        <translation>La risposta dell’host è stata danneggiata sulla linea (errore di checksum); se questo host invia checksum errati, disattiva la verifica dei checksum nelle Impostazioni</translation>
    </message>
    <message>
        <source>Timeout sending to host: %1 of %2 bytes sent</source>
        <translation>Tempo scaduto nell’invio all’host: %1 di %2 byte inviati</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points</source>
        <translation>Impossibile salvare una tracciatura di %1 punti</translation>
    </message>
    <message>
        <source>Display Log</source>
        <translation>Mostra registro</translation>
    </message>
    <message>
        <source>Did not get positive response from host</source>
        <translation>Nessuna risposta positiva dall’host</translation>
    </message>
    <message>
        <source>Did not receive status 0 on init</source>
        <translation>Stato 0 non ricevuto all’inizializzazione</translation>
    </message>
    <message>
        <source>Did not receive DEF from host (init 2)</source>
        <translation>DEF non ricevuto dall’host (init 2)</translation>
    </message>
    <message>
        <source>Did not receive TRCFMT from host (init 2)</source>
        <translation>TRCFMT non ricevuto dall’host (init 2)</translation>
    </message>
    <message>
        <source>Did not find the host&apos;s DEF value</source>
        <translation>Valore DEF dell’host non trovato</translation>
    </message>
    <message>
        <source>Did not store the shape to the host</source>
        <translation>La forma non è stata salvata sull’host</translation>
    </message>
    <message>
        <source>Job not found/not available</source>
        <translation>Lavoro non trovato/non disponibile</translation>
    </message>
    <message>
        <source>Reply from host is too complex to read</source>
        <translation>La risposta dell’host è troppo complessa da leggere</translation>
    </message>
    <message>
        <source>Cannot find trace data</source>
        <translation>Dati di tracciatura non trovati</translation>
    </message>
    <message>
        <source>Cannot find the trace format (no TRCFMT record)</source>
        <translation>Formato di tracciatura non trovato (nessun record TRCFMT)</translation>
    </message>
    <message>
        <source>Trace type %1 is unsupported</source>
        <translation>Il tipo di tracciatura %1 non è supportato</translation>
    </message>
    <message>
        <source>Trace contains %1 points, but number of points is %2</source>
        <translation>La tracciatura contiene %1 punti, ma il numero di punti è %2</translation>
    </message>
    <message>
        <source>Trace data has %1 digits, but %2 points need %3</source>
        <translation>I dati di tracciatura hanno %1 cifre, ma %2 punti ne richiedono %3</translation>
    </message>
    <message>
        <source>Trace data holds &quot;%1&quot;, which is not a number</source>
        <translation>I dati di tracciatura contengono «%1», che non è un numero</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2, outside 0 to 9999</source>
        <translation>Dati di tracciatura non validi: il punto %1 ha il valore %2, fuori da 0 a 9999</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2</source>
        <translation>Dati di tracciatura non validi: il punto %1 ha il valore %2</translation>
    </message>
    <message>
        <source>Invalid trace data: %1 points requested, format 4 allows 0 to 4096</source>
        <translation>Dati di tracciatura non validi: richiesti %1 punti, il formato 4 ne ammette da 0 a 4096</translation>
    </message>
    <message>
        <source>Invalid trace data: format 4 data of %1 bytes exceeds 8193 bytes</source>
        <translation>Dati di tracciatura non validi: %1 byte di dati in formato 4 superano 8193 byte</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>«%1» non è un valore intero valido</translation>
    </message>
    <message>
        <source>Cannot send an empty trace in format 4</source>
        <translation>Impossibile inviare una tracciatura vuota in formato 4</translation>
    </message>
    <message>
        <source>Cannot send a trace of %1 points in format 4 (at most 4096)</source>
        <translation>Impossibile inviare una tracciatura di %1 punti in formato 4 (al massimo 4096)</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points (%2 to %3)</source>
        <translation>Impossibile salvare una tracciatura di %1 punti (da %2 a %3)</translation>
    </message>
    <message>
        <source>Cannot read a trace of %1 points (%2 to %3)</source>
        <translation>Impossibile leggere una tracciatura di %1 punti (da %2 a %3)</translation>
    </message>
    <message>
        <source>There is no shape to save</source>
        <translation>Non c’è nessuna forma da salvare</translation>
    </message>
    <message>
        <source>There is no shape to print</source>
        <translation>Non c’è nessuna forma da stampare</translation>
    </message>
    <message>
        <source>There is no session transcript to save yet</source>
        <translation>Non c’è ancora nessuna trascrizione di sessione da salvare</translation>
    </message>
    <message>
        <source>Wait until the conversation with the host has ended</source>
        <translation>Attendi la fine della comunicazione con l’host</translation>
    </message>
    <message>
        <source>Opened job file %1 (right eye)</source>
        <translation>File di lavoro %1 aperto (occhio destro)</translation>
    </message>
    <message>
        <source>Opened job file %1 (left eye)</source>
        <translation>File di lavoro %1 aperto (occhio sinistro)</translation>
    </message>
    <message>
        <source>Opened job file %1 (both eyes)</source>
        <translation>File di lavoro %1 aperto (entrambi gli occhi)</translation>
    </message>
    <message>
        <source>Opened job file %1</source>
        <translation>File di lavoro %1 aperto</translation>
    </message>
    <message>
        <source>Saved job file %1</source>
        <translation>File di lavoro %1 salvato</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 salvato</translation>
    </message>
    <message>
        <source>Shape printed</source>
        <translation>Forma stampata</translation>
    </message>
    <message>
        <source>Cannot save the session transcript: %1</source>
        <translation>Impossibile salvare la trascrizione di sessione: %1</translation>
    </message>
    <message>
        <source>Cannot read the job file: it is not a file</source>
        <translation>Impossibile leggere il file di lavoro: non è un file</translation>
    </message>
    <message>
        <source>Cannot read the job file: %1</source>
        <translation>Impossibile leggere il file di lavoro: %1</translation>
    </message>
    <message>
        <source>Cannot write the job file: %1</source>
        <translation>Impossibile scrivere il file di lavoro: %1</translation>
    </message>
    <message>
        <source>The file is too large for a job file (%1 KiB, at most %2 KiB)</source>
        <translation>Il file è troppo grande per un file di lavoro (%1 KiB, al massimo %2 KiB)</translation>
    </message>
    <message>
        <source>The file is too large for a job file (at most %1 KiB)</source>
        <translation>Il file è troppo grande per un file di lavoro (al massimo %1 KiB)</translation>
    </message>
    <message>
        <source>Tray number may only contain Latin-1 characters</source>
        <translation>Il numero di vassoio può contenere solo caratteri Latin-1</translation>
    </message>
    <message>
        <source>Box A Too small</source>
        <translation>Box A troppo piccolo</translation>
    </message>
    <message>
        <source>Box B Too small</source>
        <translation>Box B troppo piccolo</translation>
    </message>
    <message>
        <source>Circ Too small</source>
        <translation>Circonferenza troppo piccola</translation>
    </message>
    <message>
        <source>Radius %1 mm is outside 0 to 99.99 mm</source>
        <translation>Il raggio %1 mm è fuori da 0 a 99.99 mm</translation>
    </message>
    <message>
        <source>Too many points to scale the shape: %1 (at most %2)</source>
        <translation>Troppi punti per scalare la forma: %1 (al massimo %2)</translation>
    </message>
    <message>
        <source>Floating point division by zero</source>
        <translation>Divisione per zero in virgola mobile</translation>
    </message>
    <message>
        <source>Invalid floating point operation</source>
        <translation>Operazione in virgola mobile non valida</translation>
    </message>
    <message>
        <source>The serial port is not open: it has been closed. Choose a port in Settings.</source>
        <translation>La porta seriale non è aperta: è stata chiusa. Scegli una porta nelle Impostazioni.</translation>
    </message>
    <message>
        <source>The serial port is not open: %1. Choose a port in Settings.</source>
        <translation>La porta seriale non è aperta: %1. Scegli una porta nelle Impostazioni.</translation>
    </message>
    <message>
        <source>Unable to open %1: the port is being closed</source>
        <translation>Impossibile aprire %1: la porta è in chiusura</translation>
    </message>
    <message>
        <source>Unable to open %1: %2</source>
        <translation>Impossibile aprire %1: %2</translation>
    </message>
    <message>
        <source>Unable to set com state: %1</source>
        <translation>Impossibile impostare la porta: %1</translation>
    </message>
    <message>
        <source>Unable to set up comm: %1</source>
        <translation>Impossibile preparare la porta: %1</translation>
    </message>
    <message>
        <source>Unable to start the event thread: %1</source>
        <translation>Impossibile avviare il thread degli eventi: %1</translation>
    </message>
    <message>
        <source>Unable to set comm mask: %1</source>
        <translation>Impossibile impostare la maschera degli eventi: %1</translation>
    </message>
    <message>
        <source>Operation failed: %1</source>
        <translation>Operazione non riuscita: %1</translation>
    </message>
    <message>
        <source>Operation aborted: %1</source>
        <translation>Operazione interrotta: %1</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No such host</source>
        <translation>Impossibile connettersi a %1: host sconosciuto</translation>
    </message>
    <message>
        <source>Cannot connect to %1: Connection refused</source>
        <translation>Impossibile connettersi a %1: connessione rifiutata</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No answer within %2 s</source>
        <translation>Impossibile connettersi a %1: nessuna risposta entro %2 s</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2</source>
        <translation>Impossibile connettersi a %1: %2</translation>
    </message>
    <message>
        <source>The host closed the connection</source>
        <translation>L’host ha chiuso la connessione</translation>
    </message>
    <message>
        <source>The connection to the host failed: %1</source>
        <translation>La connessione all’host non è riuscita: %1</translation>
    </message>
    <message>
        <source>The network link is not open</source>
        <translation>Il collegamento di rete non è aperto</translation>
    </message>
    <message>
        <source>Cannot start the network link: %1</source>
        <translation>Impossibile avviare il collegamento di rete: %1</translation>
    </message>
    <message>
        <source>Cannot start the network: %1</source>
        <translation>Impossibile avviare la rete: %1</translation>
    </message>
    <message>
        <source>Not a network address: %1</source>
        <translation>Non è un indirizzo di rete: %1</translation>
    </message>
    <message>
        <source>The sample host did not start: %1</source>
        <translation>L’host di esempio non si è avviato: %1</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on all available serial ports at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>L’host verrà cercato<byte value="xd"/>su tutte le porte seriali disponibili a tutte<byte value="xd"/>le velocità disponibili.<byte value="xd"/><byte value="xd"/>Continuare?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1 at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>L’host verrà cercato<byte value="xd"/>su %1 a tutte<byte value="xd"/>le velocità disponibili.<byte value="xd"/><byte value="xd"/>Continuare?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>L’host verrà cercato<byte value="xd"/>su %1.<byte value="xd"/><byte value="xd"/>Continuare?</translation>
    </message>
    <message>
        <source>Confirm...</source>
        <translation>Conferma...</translation>
    </message>
    <message>
        <source>Found host on %1</source>
        <translation>Host trovato su %1</translation>
    </message>
    <message>
        <source>Success!</source>
        <translation>Riuscito!</translation>
    </message>
    <message>
        <source>Cancelled finding the host</source>
        <translation>Ricerca dell’host annullata</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Annullato</translation>
    </message>
    <message>
        <source>Did not find host</source>
        <translation>Host non trovato</translation>
    </message>
    <message>
        <source>Host Not Found</source>
        <translation>Host non trovato</translation>
    </message>
    <message>
        <source>Unable to access %1</source>
        <translation>Impossibile accedere a %1</translation>
    </message>
    <message>
        <source>Problem...</source>
        <translation>Problema...</translation>
    </message>
    <message>
        <source>Trying %1 at %2 baud...</source>
        <translation>Prova di %1 a %2 baud...</translation>
    </message>
    <message>
        <source>Trying %1...</source>
        <translation>Prova di %1...</translation>
    </message>
    <message>
        <source>Reply matching failed: %1</source>
        <translation>Analisi della risposta non riuscita: %1</translation>
    </message>
    <message>
        <source>Unable to read com status: %1</source>
        <translation>Impossibile leggere lo stato della porta: %1</translation>
    </message>
    <message>
        <source>Cannot abort operation: %1</source>
        <translation>Impossibile interrompere l’operazione: %1</translation>
    </message>
    <message>
        <source>The device server at %1 does not answer as an rfc2217:// server: if it is a raw TCP port, use socket://%2</source>
        <translation>Il server dei dispositivi %1 non risponde come server rfc2217://: se è una porta TCP semplice, usa socket://%2</translation>
    </message>
</context>
<context>
    <name>TSettingsForm</name>
    <message>
        <source>Settings</source>
        <translation>Impostazioni</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>Porta COM</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Baud rate</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parità</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>Bit dati</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Bit stop</translation>
    </message>
    <message>
        <source>Tracer Mode</source>
        <translation>Modo tracer</translation>
    </message>
    <message>
        <source>Pause After Init</source>
        <translation>Pausa dopo init</translation>
    </message>
    <message>
        <source>Verify Checksums</source>
        <translation>Verifica checksum</translation>
    </message>
    <message>
        <source>Ask the host again for a reply damaged on the line. Turn off only for a host known to send wrong checksums.</source>
        <translation>Richiedere di nuovo all’host una risposta danneggiata sulla linea. Disattivare solo per un host noto per inviare checksum errati.</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annulla</translation>
    </message>
    <message>
        <source>Discover &amp;Host</source>
        <translation>Cerca &amp;host</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Lingua</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Sistema</translation>
    </message>
    <message>
        <source>Takes effect at the next start.</source>
        <translation>Valido dal prossimo avvio.</translation>
    </message>
    <message>
        <source>Not used for socket:// ports: set the line at the device server</source>
        <translation>Non usato per le porte socket://: imposta la linea sul server dei dispositivi</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Nessuna</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Pari</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Dispari</translation>
    </message>
    <message>
        <source>Preset Init</source>
        <translation>Init. predefinita</translation>
    </message>
    <message>
        <source>No Init</source>
        <translation>Senza init</translation>
    </message>
</context>
<context>
    <name>TShapePicture</name>
    <message>
        <source>Box A: %1, Box B: %2, Circ: %3</source>
        <translation>Box A: %1, Box B: %2, Circ.: %3</translation>
    </message>
</context>
</TS>
