<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="fr" sourcelanguage="en">
<context>
    <name>TAbout</name>
    <message>
        <source>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Frame shape editor for OMA lab hosts&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Licensed under the MIT licence (below, under &lt;i&gt;Show Details&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon uses Qt %3 under the GNU LGPL version 3, PCRE2 under the BSD licence and Boost under the Boost Software License.</source>
        <translation>&lt;p&gt;&lt;b&gt;Trevalon %1&lt;/b&gt;&lt;br&gt;Éditeur de formes de monture pour hôtes de laboratoire OMA&lt;/p&gt;&lt;p&gt;%2&lt;/p&gt;&lt;p&gt;Sous licence MIT (ci-dessous, sous &lt;i&gt;Afficher les détails&lt;/i&gt;).&lt;/p&gt;&lt;p&gt;Trevalon utilise Qt %3 sous la GNU LGPL version 3, PCRE2 sous la licence BSD et Boost sous la Boost Software License.</translation>
    </message>
    <message>
        <source> Their licence texts are in %1.</source>
        <translation> Leurs textes de licence se trouvent dans %1.</translation>
    </message>
    <message>
        <source>About Trevalon</source>
        <translation>À propos de Trevalon</translation>
    </message>
    <message>
        <source>About Qt</source>
        <translation>À propos de Qt</translation>
    </message>
</context>
<context>
    <name>TCrashReports</name>
    <message>
        <source>Trevalon stopped unexpectedly on %1. A report was saved to %2.</source>
        <translation>Trevalon s’est arrêté de façon inattendue le %1. Un rapport a été enregistré dans %2.</translation>
    </message>
    <message>
        <source>Open Report</source>
        <translation>Ouvrir le rapport</translation>
    </message>
    <message>
        <source>Open Folder</source>
        <translation>Ouvrir le dossier</translation>
    </message>
</context>
<context>
    <name>TFindPortForm</name>
    <message>
        <source>Find Host</source>
        <translation>Rechercher l’hôte</translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation>Annuler</translation>
    </message>
</context>
<context>
    <name>TForm1</name>
    <message>
        <source>Cannot create the communication log file: %1</source>
        <translation>Impossible de créer le fichier journal de communication : %1</translation>
    </message>
    <message>
        <source>Cannot write the communication log file %1: %2</source>
        <translation>Impossible d’écrire le fichier journal de communication %1 : %2</translation>
    </message>
    <message>
        <source>No viewer could be started for the communication log %1</source>
        <translation>Aucun visualiseur n’a pu être lancé pour le journal de communication %1</translation>
    </message>
    <message>
        <source>No viewer could be started for the help file %1</source>
        <translation>Aucun visualiseur n’a pu être lancé pour le fichier d’aide %1</translation>
    </message>
    <message>
        <source>Cannot find the help file %1 or %2</source>
        <translation>Fichier d’aide introuvable : %1 ou %2</translation>
    </message>
    <message>
        <source>OMA job file, format 1, received point count (*.oma)</source>
        <translation>Fichier de travail OMA, format 1, nombre de points reçu (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 1, 1024 points (*.oma)</source>
        <translation>Fichier de travail OMA, format 1, 1024 points (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, received point count (*.oma)</source>
        <translation>Fichier de travail OMA, format 4, nombre de points reçu (*.oma)</translation>
    </message>
    <message>
        <source>OMA job file, format 4, 1024 points (*.oma)</source>
        <translation>Fichier de travail OMA, format 4, 1024 points (*.oma)</translation>
    </message>
    <message>
        <source>Open Job File</source>
        <translation>Ouvrir un fichier de travail</translation>
    </message>
    <message>
        <source>Save Job File</source>
        <translation>Enregistrer le fichier de travail</translation>
    </message>
    <message>
        <source>Save as PDF</source>
        <translation>Enregistrer en PDF</translation>
    </message>
    <message>
        <source>OMA job files (*.oma)</source>
        <translation>Fichiers de travail OMA (*.oma)</translation>
    </message>
    <message>
        <source>All files (*)</source>
        <translation>Tous les fichiers (*)</translation>
    </message>
    <message>
        <source>Shape %1</source>
        <translation>Forme %1</translation>
    </message>
    <message>
        <source>PDF files (*.pdf)</source>
        <translation>Fichiers PDF (*.pdf)</translation>
    </message>
    <message>
        <source>Try with the sample host</source>
        <translation>Essayer avec l’hôte d’exemple</translation>
    </message>
    <message>
        <source>Session transcripts (*.jsonl)</source>
        <translation>Transcriptions de session (*.jsonl)</translation>
    </message>
    <message>
        <source>Save Session Transcript</source>
        <translation>Enregistrer la transcription de session</translation>
    </message>
    <message>
        <source>&amp;Tray/Job Number</source>
        <translation>&amp;N° de bac/travail</translation>
    </message>
    <message>
        <source>Circle</source>
        <translation>Cercle</translation>
    </message>
    <message>
        <source>Square</source>
        <translation>Carré</translation>
    </message>
    <message>
        <source>Diamond</source>
        <translation>Losange</translation>
    </message>
    <message>
        <source>Flower Pot</source>
        <translation>Pot de fleurs</translation>
    </message>
    <message>
        <source>Open Job File...</source>
        <translation>Ouvrir un fichier de travail...</translation>
    </message>
    <message>
        <source>Save Job File...</source>
        <translation>Enregistrer le fichier de travail...</translation>
    </message>
    <message>
        <source>Print Shape...</source>
        <translation>Imprimer la forme...</translation>
    </message>
    <message>
        <source>Save as PDF...</source>
        <translation>Enregistrer en PDF...</translation>
    </message>
    <message>
        <source>&amp;Request Shape</source>
        <translation>De&amp;mander la forme</translation>
    </message>
    <message>
        <source>&amp;Save Shape</source>
        <translation>&amp;Enregistrer la forme</translation>
    </message>
    <message>
        <source>Show Orig Shape</source>
        <translation>Forme d’origine</translation>
    </message>
    <message>
        <source>Detailed Grid</source>
        <translation>Grille détaillée</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Left</source>
        <translation>Tourner la forme d’un point vers la gauche</translation>
    </message>
    <message>
        <source>Rotate Shape One Data Point to the Right</source>
        <translation>Tourner la forme d’un point vers la droite</translation>
    </message>
    <message>
        <source>Reset</source>
        <translation>Rétablir</translation>
    </message>
    <message>
        <source>Help</source>
        <translation>Aide</translation>
    </message>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
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
        <translation>Bloquer B au datum</translation>
    </message>
    <message>
        <source>Display Communication Log</source>
        <translation>Afficher le journal de communication</translation>
    </message>
    <message>
        <source>Save Session Transcript...</source>
        <translation>Enregistrer la transcription de session...</translation>
    </message>
    <message>
        <source>About Trevalon...</source>
        <translation>À propos de Trevalon...</translation>
    </message>
</context>
<context>
    <name>TScreenTexts</name>
    <message>
        <source>Ready</source>
        <translation>Prêt</translation>
    </message>
    <message>
        <source>Ver %1</source>
        <translation>Ver. %1</translation>
    </message>
    <message>
        <source>Sent request to initialize</source>
        <translation>Demande d’initialisation envoyée</translation>
    </message>
    <message>
        <source>Sent information specs to host</source>
        <translation>Caractéristiques envoyées à l’hôte</translation>
    </message>
    <message>
        <source>Requesting job %1</source>
        <translation>Demande du travail %1</translation>
    </message>
    <message>
        <source>Requesting to store job %1</source>
        <translation>Demande d’enregistrement du travail %1</translation>
    </message>
    <message>
        <source>Negotiating trace format with host</source>
        <translation>Négociation du format de tracé avec l’hôte</translation>
    </message>
    <message>
        <source>Received data</source>
        <translation>Données reçues</translation>
    </message>
    <message>
        <source>Storing the shape to job %1</source>
        <translation>Enregistrement de la forme dans le travail %1</translation>
    </message>
    <message>
        <source>Job stored</source>
        <translation>Travail enregistré</translation>
    </message>
    <message>
        <source>Timeout waiting for host</source>
        <translation>Délai dépassé en attendant l’hôte</translation>
    </message>
    <message>
        <source>The host&apos;s reply was damaged on the line (checksum error); if this host is known to send wrong checksums, turn off checksum verification in Settings</source>
        <translation>La réponse de l’hôte a été altérée sur la ligne (erreur de somme de contrôle) ; si cet hôte envoie des sommes de contrôle erronées, désactivez leur vérification dans les Paramètres</translation>
    </message>
    <message>
        <source>Timeout sending to host: %1 of %2 bytes sent</source>
        <translation>Délai dépassé lors de l’envoi à l’hôte : %1 octets sur %2 envoyés</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points</source>
        <translation>Impossible d’enregistrer un tracé de %1 points</translation>
    </message>
    <message>
        <source>Display Log</source>
        <translation>Afficher le journal</translation>
    </message>
    <message>
        <source>Did not get positive response from host</source>
        <translation>Pas de réponse positive de l’hôte</translation>
    </message>
    <message>
        <source>Did not receive status 0 on init</source>
        <translation>Statut 0 non reçu à l’initialisation</translation>
    </message>
    <message>
        <source>Did not receive DEF from host (init 2)</source>
        <translation>DEF non reçu de l’hôte (init 2)</translation>
    </message>
    <message>
        <source>Did not receive TRCFMT from host (init 2)</source>
        <translation>TRCFMT non reçu de l’hôte (init 2)</translation>
    </message>
    <message>
        <source>Did not find the host&apos;s DEF value</source>
        <translation>Valeur DEF de l’hôte introuvable</translation>
    </message>
    <message>
        <source>Did not store the shape to the host</source>
        <translation>La forme n’a pas été enregistrée sur l’hôte</translation>
    </message>
    <message>
        <source>Job not found/not available</source>
        <translation>Travail introuvable/non disponible</translation>
    </message>
    <message>
        <source>Reply from host is too complex to read</source>
        <translation>La réponse de l’hôte est trop complexe à lire</translation>
    </message>
    <message>
        <source>Cannot find trace data</source>
        <translation>Données de tracé introuvables</translation>
    </message>
    <message>
        <source>Cannot find the trace format (no TRCFMT record)</source>
        <translation>Format de tracé introuvable (pas d’enregistrement TRCFMT)</translation>
    </message>
    <message>
        <source>Trace type %1 is unsupported</source>
        <translation>Le type de tracé %1 n’est pas pris en charge</translation>
    </message>
    <message>
        <source>Trace contains %1 points, but number of points is %2</source>
        <translation>Le tracé contient %1 points, mais le nombre de points est %2</translation>
    </message>
    <message>
        <source>Trace data has %1 digits, but %2 points need %3</source>
        <translation>Les données de tracé ont %1 chiffres, mais %2 points en demandent %3</translation>
    </message>
    <message>
        <source>Trace data holds &quot;%1&quot;, which is not a number</source>
        <translation>Les données de tracé contiennent « %1 », qui n’est pas un nombre</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2, outside 0 to 9999</source>
        <translation>Données de tracé non valides : le point %1 a la valeur %2, hors de 0 à 9999</translation>
    </message>
    <message>
        <source>Invalid trace data: point %1 has the value %2</source>
        <translation>Données de tracé non valides : le point %1 a la valeur %2</translation>
    </message>
    <message>
        <source>Invalid trace data: %1 points requested, format 4 allows 0 to 4096</source>
        <translation>Données de tracé non valides : %1 points demandés, le format 4 en permet de 0 à 4096</translation>
    </message>
    <message>
        <source>Invalid trace data: format 4 data of %1 bytes exceeds 8193 bytes</source>
        <translation>Données de tracé non valides : %1 octets de données au format 4 dépassent 8193 octets</translation>
    </message>
    <message>
        <source>&apos;%1&apos; is not a valid integer value</source>
        <translation>« %1 » n’est pas un entier valide</translation>
    </message>
    <message>
        <source>Cannot send an empty trace in format 4</source>
        <translation>Impossible d’envoyer un tracé vide au format 4</translation>
    </message>
    <message>
        <source>Cannot send a trace of %1 points in format 4 (at most 4096)</source>
        <translation>Impossible d’envoyer un tracé de %1 points au format 4 (4096 au plus)</translation>
    </message>
    <message>
        <source>Cannot store a trace of %1 points (%2 to %3)</source>
        <translation>Impossible d’enregistrer un tracé de %1 points (%2 à %3)</translation>
    </message>
    <message>
        <source>Cannot read a trace of %1 points (%2 to %3)</source>
        <translation>Impossible de lire un tracé de %1 points (%2 à %3)</translation>
    </message>
    <message>
        <source>There is no shape to save</source>
        <translation>Il n’y a pas de forme à enregistrer</translation>
    </message>
    <message>
        <source>There is no shape to print</source>
        <translation>Il n’y a pas de forme à imprimer</translation>
    </message>
    <message>
        <source>There is no session transcript to save yet</source>
        <translation>Il n’y a pas encore de transcription de session à enregistrer</translation>
    </message>
    <message>
        <source>Wait until the conversation with the host has ended</source>
        <translation>Attendez la fin de l’échange avec l’hôte</translation>
    </message>
    <message>
        <source>Opened job file %1 (right eye)</source>
        <translation>Fichier de travail %1 ouvert (œil droit)</translation>
    </message>
    <message>
        <source>Opened job file %1 (left eye)</source>
        <translation>Fichier de travail %1 ouvert (œil gauche)</translation>
    </message>
    <message>
        <source>Opened job file %1 (both eyes)</source>
        <translation>Fichier de travail %1 ouvert (deux yeux)</translation>
    </message>
    <message>
        <source>Opened job file %1</source>
        <translation>Fichier de travail %1 ouvert</translation>
    </message>
    <message>
        <source>Saved job file %1</source>
        <translation>Fichier de travail %1 enregistré</translation>
    </message>
    <message>
        <source>Saved %1</source>
        <translation>%1 enregistré</translation>
    </message>
    <message>
        <source>Shape printed</source>
        <translation>Forme imprimée</translation>
    </message>
    <message>
        <source>Cannot save the session transcript: %1</source>
        <translation>Impossible d’enregistrer la transcription de session : %1</translation>
    </message>
    <message>
        <source>Cannot read the job file: it is not a file</source>
        <translation>Impossible de lire le fichier de travail : ce n’est pas un fichier</translation>
    </message>
    <message>
        <source>Cannot read the job file: %1</source>
        <translation>Impossible de lire le fichier de travail : %1</translation>
    </message>
    <message>
        <source>Cannot write the job file: %1</source>
        <translation>Impossible d’écrire le fichier de travail : %1</translation>
    </message>
    <message>
        <source>The file is too large for a job file (%1 KiB, at most %2 KiB)</source>
        <translation>Le fichier est trop gros pour un fichier de travail (%1 Kio, %2 Kio au plus)</translation>
    </message>
    <message>
        <source>The file is too large for a job file (at most %1 KiB)</source>
        <translation>Le fichier est trop gros pour un fichier de travail (%1 Kio au plus)</translation>
    </message>
    <message>
        <source>Tray number may only contain Latin-1 characters</source>
        <translation>Le n° de bac ne peut contenir que des caractères Latin-1</translation>
    </message>
    <message>
        <source>Box A Too small</source>
        <translation>Box A trop petit</translation>
    </message>
    <message>
        <source>Box B Too small</source>
        <translation>Box B trop petit</translation>
    </message>
    <message>
        <source>Circ Too small</source>
        <translation>Circonférence trop petite</translation>
    </message>
    <message>
        <source>Radius %1 mm is outside 0 to 99.99 mm</source>
        <translation>Le rayon %1 mm est hors de 0 à 99.99 mm</translation>
    </message>
    <message>
        <source>Too many points to scale the shape: %1 (at most %2)</source>
        <translation>Trop de points pour mettre la forme à l’échelle : %1 (%2 au plus)</translation>
    </message>
    <message>
        <source>Floating point division by zero</source>
        <translation>Division par zéro en virgule flottante</translation>
    </message>
    <message>
        <source>Invalid floating point operation</source>
        <translation>Opération en virgule flottante non valide</translation>
    </message>
    <message>
        <source>The serial port is not open: it has been closed. Choose a port in Settings.</source>
        <translation>Le port série n’est pas ouvert : il a été fermé. Choisissez un port dans les Paramètres.</translation>
    </message>
    <message>
        <source>The serial port is not open: %1. Choose a port in Settings.</source>
        <translation>Le port série n’est pas ouvert : %1. Choisissez un port dans les Paramètres.</translation>
    </message>
    <message>
        <source>Unable to open %1: the port is being closed</source>
        <translation>Impossible d’ouvrir %1 : le port est en cours de fermeture</translation>
    </message>
    <message>
        <source>Unable to open %1: %2</source>
        <translation>Impossible d’ouvrir %1 : %2</translation>
    </message>
    <message>
        <source>Unable to set com state: %1</source>
        <translation>Impossible de régler le port : %1</translation>
    </message>
    <message>
        <source>Unable to set up comm: %1</source>
        <translation>Impossible de préparer le port : %1</translation>
    </message>
    <message>
        <source>Unable to start the event thread: %1</source>
        <translation>Impossible de démarrer le fil d’événements : %1</translation>
    </message>
    <message>
        <source>Unable to set comm mask: %1</source>
        <translation>Impossible de régler le masque d’événements : %1</translation>
    </message>
    <message>
        <source>Operation failed: %1</source>
        <translation>Échec de l’opération : %1</translation>
    </message>
    <message>
        <source>Operation aborted: %1</source>
        <translation>Opération interrompue : %1</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No such host</source>
        <translation>Impossible de se connecter à %1 : hôte inconnu</translation>
    </message>
    <message>
        <source>Cannot connect to %1: Connection refused</source>
        <translation>Impossible de se connecter à %1 : connexion refusée</translation>
    </message>
    <message>
        <source>Cannot connect to %1: No answer within %2 s</source>
        <translation>Impossible de se connecter à %1 : pas de réponse en %2 s</translation>
    </message>
    <message>
        <source>Cannot connect to %1: %2</source>
        <translation>Impossible de se connecter à %1 : %2</translation>
    </message>
    <message>
        <source>The host closed the connection</source>
        <translation>L’hôte a fermé la connexion</translation>
    </message>
    <message>
        <source>The connection to the host failed: %1</source>
        <translation>La connexion à l’hôte a échoué : %1</translation>
    </message>
    <message>
        <source>The network link is not open</source>
        <translation>La liaison réseau n’est pas ouverte</translation>
    </message>
    <message>
        <source>Cannot start the network link: %1</source>
        <translation>Impossible de démarrer la liaison réseau : %1</translation>
    </message>
    <message>
        <source>Cannot start the network: %1</source>
        <translation>Impossible de démarrer le réseau : %1</translation>
    </message>
    <message>
        <source>Not a network address: %1</source>
        <translation>Pas une adresse réseau : %1</translation>
    </message>
    <message>
        <source>The sample host did not start: %1</source>
        <translation>L’hôte d’exemple n’a pas démarré : %1</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on all available serial ports at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>L’hôte va être recherché<byte value="xd"/>sur tous les ports série disponibles à toutes<byte value="xd"/>les vitesses disponibles.<byte value="xd"/><byte value="xd"/>Continuer ?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1 at all<byte value="xd"/>available baud rates.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>L’hôte va être recherché<byte value="xd"/>sur %1 à toutes<byte value="xd"/>les vitesses disponibles.<byte value="xd"/><byte value="xd"/>Continuer ?</translation>
    </message>
    <message>
        <source>This will attempt to find the host<byte value="xd"/>on %1.<byte value="xd"/><byte value="xd"/>Continue?</source>
        <translation>L’hôte va être recherché<byte value="xd"/>sur %1.<byte value="xd"/><byte value="xd"/>Continuer ?</translation>
    </message>
    <message>
        <source>Confirm...</source>
        <translation>Confirmer...</translation>
    </message>
    <message>
        <source>Found host on %1</source>
        <translation>Hôte trouvé sur %1</translation>
    </message>
    <message>
        <source>Success!</source>
        <translation>Réussi !</translation>
    </message>
    <message>
        <source>Cancelled finding the host</source>
        <translation>Recherche de l’hôte annulée</translation>
    </message>
    <message>
        <source>Cancelled</source>
        <translation>Annulé</translation>
    </message>
    <message>
        <source>Did not find host</source>
        <translation>Hôte introuvable</translation>
    </message>
    <message>
        <source>Host Not Found</source>
        <translation>Hôte introuvable</translation>
    </message>
    <message>
        <source>Unable to access %1</source>
        <translation>Impossible d’accéder à %1</translation>
    </message>
    <message>
        <source>Problem...</source>
        <translation>Problème...</translation>
    </message>
    <message>
        <source>Trying %1 at %2 baud...</source>
        <translation>Essai de %1 à %2 bauds...</translation>
    </message>
    <message>
        <source>Trying %1...</source>
        <translation>Essai de %1...</translation>
    </message>
    <message>
        <source>Reply matching failed: %1</source>
        <translation>Échec de l’analyse de la réponse : %1</translation>
    </message>
    <message>
        <source>Unable to read com status: %1</source>
        <translation>Impossible de lire l’état du port : %1</translation>
    </message>
    <message>
        <source>Cannot abort operation: %1</source>
        <translation>Impossible d’interrompre l’opération : %1</translation>
    </message>
    <message>
        <source>The device server at %1 does not answer as an rfc2217:// server: if it is a raw TCP port, use socket://%2</source>
        <translation>Le serveur de périphériques %1 ne répond pas comme un serveur rfc2217:// : si c’est un port TCP brut, utilisez socket://%2</translation>
    </message>
</context>
<context>
    <name>TSettingsForm</name>
    <message>
        <source>Settings</source>
        <translation>Paramètres</translation>
    </message>
    <message>
        <source>COM Port</source>
        <translation>Port COM</translation>
    </message>
    <message>
        <source>Baud Rate</source>
        <translation>Vitesse</translation>
    </message>
    <message>
        <source>Parity</source>
        <translation>Parité</translation>
    </message>
    <message>
        <source>Data Bits</source>
        <translation>Bits données</translation>
    </message>
    <message>
        <source>Stop Bits</source>
        <translation>Bits d’arrêt</translation>
    </message>
    <message>
        <source>Tracer Mode</source>
        <translation>Mode traceur</translation>
    </message>
    <message>
        <source>Pause After Init</source>
        <translation>Pause après init</translation>
    </message>
    <message>
        <source>Verify Checksums</source>
        <translation>Vérifier les sommes</translation>
    </message>
    <message>
        <source>Ask the host again for a reply damaged on the line. Turn off only for a host known to send wrong checksums.</source>
        <translation>Redemander à l’hôte une réponse altérée sur la ligne. À désactiver uniquement pour un hôte connu pour envoyer des sommes de contrôle erronées.</translation>
    </message>
    <message>
        <source>&amp;OK</source>
        <translation>&amp;OK</translation>
    </message>
    <message>
        <source>&amp;Cancel</source>
        <translation>&amp;Annuler</translation>
    </message>
    <message>
        <source>Discover &amp;Host</source>
        <translation>&amp;Rechercher l’hôte</translation>
    </message>
    <message>
        <source>&amp;Language</source>
        <translation>&amp;Langue</translation>
    </message>
    <message>
        <source>System</source>
        <translation>Système</translation>
    </message>
    <message>
        <source>Takes effect at the next start.</source>
        <translation>Pris en compte au prochain démarrage.</translation>
    </message>
    <message>
        <source>Not used for socket:// ports: set the line at the device server</source>
        <translation>Inutilisé pour les ports socket:// : réglez la ligne sur le serveur de périphériques</translation>
    </message>
    <message>
        <source>None</source>
        <translation>Aucune</translation>
    </message>
    <message>
        <source>Even</source>
        <translation>Paire</translation>
    </message>
    <message>
        <source>Odd</source>
        <translation>Impaire</translation>
    </message>
    <message>
        <source>Preset Init</source>
        <translation>Init. prédéfinie</translation>
    </message>
    <message>
        <source>No Init</source>
        <translation>Sans init</translation>
    </message>
</context>
<context>
    <name>TShapePicture</name>
    <message>
        <source>Box A: %1, Box B: %2, Circ: %3</source>
        <translation>Box A : %1, Box B : %2, Circ. : %3</translation>
    </message>
</context>
</TS>
