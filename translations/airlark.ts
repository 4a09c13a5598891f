<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1">
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
        <source>Cancel</source>
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
        <source>Description</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Save</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::HelpWindow</name>
    <message>
        <source>Airlark Help</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Could Not Open the Link</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Airlark could not open %1 in your web browser. Copy the address into a browser to read it.</source>
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
    <name>airlark::PlaceholderSignInViewController</name>
    <message>
        <source>%1 sign-in</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Signing in to %1 is not available yet.</source>
        <translation type="unfinished"></translation>
    </message>
</context>
<context>
    <name>airlark::PlaceholderStepViewController</name>
    <message>
        <source>This step is not available yet.</source>
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
    <name>airlark::ProgressNavigationController</name>
    <message>
        <source>Progress</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>&amp;Back</source>
        <translation type="unfinished"></translation>
    </message>
    <message>
        <source>Cance&amp;l</source>
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
</context>
</TS>
