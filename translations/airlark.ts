<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
<context>
    <name>ArtworkCheck</name>
    <message>
        <source>The artwork file “%1” is missing: it was moved or deleted.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is not an image file Airlark can use as artwork.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot be read: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>was not checked.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>is not an image: choose a JPEG or PNG file.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> in CMYK</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> in greyscale</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>a square image</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>at least %1×%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>at most %1×%1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>JPEG or PNG</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>RGB colour</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: directories ask for </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no transparency</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ChapterFile</name>
    <message>
        <source>Line %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 hours is longer than any episode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 seconds is longer than any episode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is not a chapter: write “hh:mm:ss Title”, or start, end and title in seconds separated by tabs.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the chapter at %1 has no title.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file holds no chapters.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The episode’s length cannot be read, so its chapters cannot be checked against it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: more than %2 chapters; an ID3 table of contents holds no more.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: the chapter at %2 does not start after the one above it (%3).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Line %1: the chapter at %2 starts after the episode ends (%3).</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>CreateID3TemplateViewModel</name>
    <message>
        <source>The template cannot be read: it was deleted, or Airlark’s data folder cannot be opened.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EditMetadataViewModel</name>
    <message>
        <source>
The file was not changed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The template’s artwork cannot be used: </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>

Save and publish the episode without artwork? Its file keeps any picture it already has.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” cannot be read as a chapter list.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>1 chapter</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 chapters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 from “%2”: written on Save.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 in the episode: kept unless you load others.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No chapters.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EpisodeAudio</name>
    <message>
        <source>The MP3 decoder cannot start.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file cannot be read as MP3 audio.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file holds no MPEG audio that can be decoded.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file cannot be opened.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>EpisodeCheck</name>
    <message>
        <source>mono</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>stereo</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 channels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Audio stream</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the episode as MP3 (MPEG Layer III).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 kHz</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sample rate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: directories take 44.1 or 48 kHz</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the episode again at 44.1 kHz.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 kbit/s on average (variable)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 kbit/s constant</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bit rate</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: %2 to %3 kbit/s is recommended for %4</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export at %1 kbit/s for %2 speech.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duration</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, but the variable bit rate has no Xing header: players show a wrong length</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export again with the VBR (Xing) header on, or at a constant bit rate.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, read from the stream</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the last frame is cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the stream changes its sample rate or channels</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Frames</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>every frame whole</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the episode again from the editor; a copy may have been cut short.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Loudness</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>silent: nothing above ተ LUFS</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check the export: the episode holds no sound.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 LUFS integrated, range %2 LU</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: %1 LU quieter than the %2 LUFS apps expect of %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>: %1 LU louder than the %2 LUFS apps expect of %3</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Raise the level by %1 dB (normalise to %2 LUFS), with a limiter at ℡ dBTP.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Lower the level by %1 dB (normalise to %2 LUFS).</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 dBTP</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>True peak</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: the audio clips, listeners hear distortion</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1: above the ℡ dBTP ceiling, players&apos; decoders may clip</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Put a true-peak limiter at ℡ dBTP last in the chain and export again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Title</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the episode has no title</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Type the episode&apos;s title: directories list it untitled otherwise.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ID3 tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>ID3v2.3, written on Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no ID3v2 tag</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the tags in Airlark: it writes ID3v2.3, which every player reads.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no cover in the episode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Give the template a square JPEG or PNG of 1400 to 3000 pixels.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose a JPEG or PNG image as the cover.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the cover again as a square RGB JPEG or PNG of 1400 to 3000 pixels without transparency.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, %2 KB: some apps skip covers above 512 KB</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save the cover as a JPEG at a lower quality.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the first starts at %1, not 00:00:00</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>chapter %1 does not start after chapter %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>chapter %1 starts after the episode ends</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chapters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load a chapter file in order, starting at 00:00:00, within the episode.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Shorten the titles: some players cut or hide long ones.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Ready: every check passed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Export the episode as MP3 again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ExternalLink</name>
    <message>
        <source>Airlark could not prepare the page to open in your web browser.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark could not open %1 in your web browser. Copy the address into a browser to read it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could Not Open the Link</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibsynAuthenticationViewModel</name>
    <message>
        <source>Log in failed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Send my password without encryption (not recommended)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Logged in; show folder found</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn refused the e-mail address or the FTP password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the folder %1 does not exist on Libsyn: check the show folder and the feed type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>cannot reach %1: check the internet connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 did not answer in time</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 closed the session (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the certificate of %1 is not valid: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>no secure connection to %1: %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 does not offer an encrypted connection</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the connection to %1 broke off</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Log in failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark’s database cannot be opened, so the account was not added</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password could not be saved in the keyring: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The account could not be saved in Airlark’s database: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The log-in has not been checked</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>LibsynUploadFailureText</name>
    <message>
        <source>Libsyn refused the log-in for %1: check the FTP password in your Libsyn account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The folder %1 does not exist on Libsyn: check the show slug</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cannot reach %1: check the internet connection and try again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The connection to %1 was lost: try again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 stopped answering: try again later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 closed the connection (%2): try again later</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn refused the file: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn refused the file after receiving it: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The certificate of %1 is not valid (%2): nothing was sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No secure connection to %1 (%2): nothing was sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 does not offer an encrypted connection: nothing was sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The episode file could not be read, or changed while it was sent: try again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The upload was cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1, uploaded %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>“%1” is already on Libsyn (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn holds %1 of %2: the upload was cut short</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn did not say how much of the file it holds, so the upload cannot be confirmed: try again</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>ListActions</name>
    <message>
        <source>&amp;Manage</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>PodcastFieldTexts</name>
    <message>
        <source>The episode number must be a whole number from 1 to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The season number must be a whole number from 1 to %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The feed URL must be a web address starting with https://.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QFileDialog</name>
    <message>
        <source>All files (*)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 files (%2)</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>QObject</name>
    <message>
        <source>&amp;Add Account…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Continue</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check “%1” Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Keep</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Replace?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SelectPodcastHostViewModel</name>
    <message>
        <source>Airlark cannot open its data folder %1 to read the accounts.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark cannot read its accounts from %1 (%2). The file was left as it is: quit any other program that uses it, then choose Try Again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the accounts…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No accounts yet. Add one with 쫝 Account…”.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SelectTemplateViewModel</name>
    <message>
        <source>Airlark cannot open its data folder %1 to read the templates.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark cannot read its templates from %1 (%2). The file was left as it is: quit any other program that uses it, then show this step again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The artwork of “%1”, “%2”, is missing: it was moved or deleted. The episode can still be saved, without artwork.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>SoundCloudAuthenticationViewModel</name>
    <message>
        <source>Connecting to SoundCloud…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to authenticate with SoundCloud</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retrieving user details…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connected</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to retrieve this account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark has no SoundCloud app registration yet. Register an app with SoundCloud, then put its &quot;client_id&quot;, &quot;client_secret&quot; and &quot;redirect_uri&quot; into %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Signed in as %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to open Airlark’s account store</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Unable to reserve an account in Airlark’s account store</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UploadEndNotice</name>
    <message>
        <source>Episode published</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was uploaded to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 was not uploaded to %2.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload failed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>UploadPodcastViewModel</name>
    <message>
        <source>%1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Uploading…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Done</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload failed</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Retry</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Finishing…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stopping…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload cancelled</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Click ‘Upload’ to begin</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> Uploaded </source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Server error</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> (the connection is not encrypted)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 h %2 min</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 min %2 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 sent in %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source> — %1/s</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>, %1 left</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>In the folder “%1” — see it in &lt;a href=&quot;%2&quot;&gt;Libsyn’s dashboard&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Your track: &lt;a href=&quot;%1&quot;&gt;%2&lt;/a&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The episode file “%1” is missing or cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SoundCloud cannot take a file without a name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Libsyn account cannot be read from Airlark’s database: add it again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark’s database cannot be opened, so the account cannot be read</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The password of the Libsyn account “%1” is not in the keyring: add the account again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The keyring is locked or unavailable, so the password of “%1” cannot be read: unlock it and press Retry (%2)</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The Libsyn account has no feed type: add it again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>the part already sent could not be removed from the folder %1 (%2); remove “%3” in your Libsyn account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>nothing was sent to Libsyn</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The file name “%1” cannot be sent to Libsyn: it has a line break in it (⏎). Rename the file on one line and try again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1. Replace it?</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark</name>
    <message>
        <source>Airlark cannot open its data folder %1.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The template is gone: another window deleted it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark could not change its templates (%1). Quit any other program that uses its data folder, then try again.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::AccountManagement</name>
    <message>
        <source>Airlark’s database cannot be opened.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>An account needs a name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The account could not be renamed: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The account was kept: its secret could not be removed from the keyring (%1). Unlock the keyring, then delete the account again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The account could not be deleted from Airlark’s database: %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete the account “%1”?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Its FTP password is removed from the keyring. Episodes already published stay on Libsyn.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Its sign-in is removed from the keyring. Tracks already published stay on SoundCloud.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>%1 is already added: its sign-in was renewed</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::AddPodcastHostViewController</name>
    <message>
        <source>Add Account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Host:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Host</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::CreateID3TemplateViewController</name>
    <message>
        <source>Podcast name</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artist</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork preview</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;hoose Artwork…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Problem</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Save</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Podcast name:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Artist:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the Podcast Artwork</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Enter the podcast’s name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The template could not be saved: Airlark’s data folder cannot be opened.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The template could not be saved. A template named “%1” may already exist; choose another name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Genre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Season</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>none</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Feed URL</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xplicit content</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork size and type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Genre:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sea&amp;son:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Feed URL:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the image…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The template could not be saved: Airlark could not keep a copy of the artwork in its data folder. Check that the disk has room, then save again.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Edit Template</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::DesktopNotifier</name>
    <message>
        <source>Show Airlark</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::EditMetadataViewController</name>
    <message>
        <source>Artwork</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Problem</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Saving the tags…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Episode &amp;title:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Podcast:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Artist:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Description:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Previous episode:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Duration:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Size in bytes:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork size and type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork warning</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>E&amp;xplicit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Load &amp;Chapters…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chapters</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Problems in the chapter file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Season:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Episode &amp;number:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Genre:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Feed URL:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Long description:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chapters:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Episode number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Season number</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Genre</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the artwork…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the chapter file…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the Episode’s Chapter List</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork Missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save Without Artwork</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop saving the tags of “%1”?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The episode keeps the tags it had, unless the save is already being completed.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Saving</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking the episode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check before publishing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Before publishing:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Check</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Measuring the loudness and reading every frame…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Check stopped.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::HelpWindow</name>
    <message>
        <source>Airlark Help</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::LibsynAuthenticationViewController</name>
    <message>
        <source>E-mail</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show folder</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FTP password</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Feed type</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Libsyn feed or external feed?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Log In</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Checking the log-in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;E-mail:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The e-mail address of your Libsyn account. It is your FTP log-in name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Show &amp;folder:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The FTP folder name Libsyn shows for this show (the show&apos;s short name). Episodes are uploaded into it.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>FTP &amp;password:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The FTP password you set in the Libsyn dashboard.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Feed &amp;type:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Only for a server that cannot encrypt: anyone on the network could read the password and the episode.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::MainWindow</name>
    <message>
        <source>&amp;File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Quit</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark &amp;Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;About Airlark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>About Airlark</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;b&gt;Airlark %1&lt;/b&gt;&lt;p&gt;Tags podcast episodes and publishes them to Libsyn and SoundCloud.&lt;/p&gt;</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::OnboardingWindowController</name>
    <message>
        <source>Welcome to %1</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&lt;h2&gt;Welcome to Airlark&lt;/h2&gt;&lt;p&gt;Airlark tags a finished podcast episode and publishes it:&lt;/p&gt;&lt;ol&gt;&lt;li&gt;Choose the MP3 file and a saved template.&lt;/li&gt;&lt;li&gt;Type the episode title and description; Airlark writes the tags.&lt;/li&gt;&lt;li&gt;Choose one of your Libsyn or SoundCloud accounts.&lt;/li&gt;&lt;li&gt;Airlark uploads the episode.&lt;/li&gt;&lt;/ol&gt;</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::ProgressNavigationController</name>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Step %1 of %2</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::SelectPodcastHostViewController</name>
    <message>
        <source>Choose the &amp;account to publish this episode to:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Accounts</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Add Account…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Try Again</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename Account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>C&amp;heck Account Again…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete Account…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manage the chosen account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Account</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::SelectTemplateViewController</name>
    <message>
        <source>&amp;Podcast template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Podcast template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No templates yet. Create one with “New Template…”.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;New Template…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>New Template…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Episode file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drop an MP3 file here, or press Space to choose one</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Drop an MP3 file here, or click to choose one</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Choose MP3 File…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Chosen file</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Choose the Episode’s MP3 File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Next</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cancel</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Artwork missing</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Reading the templates…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Edit Template…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Rename Template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Delete Template…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Manage the chosen template</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete Template</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::SelectTemplateViewModel</name>
    <message>
        <source>A template needs a name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>A template named “%1” already exists. Choose another name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Delete the template “%1”?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Episodes already tagged with it keep their tags. This cannot be undone.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::SingleInstance</name>
    <message>
        <source>This Airlark window cannot reach another Airlark, nor be reached by one (%1: %2). A SoundCloud sign-in finished in the browser now may not reach the window that started it: sign in from this window.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The address this window was opened with was not handed on.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::SoundCloudAuthenticationViewController</name>
    <message>
        <source>Connect opens SoundCloud in your web browser. Sign in there and allow Airlark to upload tracks; Airlark then shows your SoundCloud name here, and Add saves the account.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Connect</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sign in to SoundCloud in your web browser</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Working</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SoundCloud connection status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>SoundCloud user</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::UploadPodcastViewController</name>
    <message>
        <source>Publish the episode</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Account</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>File:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Account:</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Bytes sent</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Upload status</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No file chosen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>No account chosen</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Sign in to SoundCloud again…</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Published at</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Copy Link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop uploading “%1” to %2?</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>The part already sent will be removed from the server.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Stop Uploading</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Replacing it changes the episode that Libsyn publishes under this name.</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Replace</source>
        <translation type="unfinished"></translation>
    </message>
</context>
</TS>
