<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en" sourcelanguage="zh_CN">
<context>
    <name>TDownloadFailures</name>
    <message>
        <source>下载失败，请与Tamsel网联系，谢谢</source>
        <translation>Download failed. Please contact Tamsel, thank you.</translation>
    </message>
    <message>
        <source>

……另有 %1 个</source>
        <translation>

… and %1 more</translation>
    </message>
    <message>
        <source>错误</source>
        <translation>Error</translation>
    </message>
</context>
<context>
    <name>TFrmPelmar</name>
    <message>
        <source>Tamsel网页Flash抓取器</source>
        <translation>Tamsel Web Flash Grabber</translation>
    </message>
    <message>
        <source>抓取</source>
        <translation>Grab</translation>
    </message>
    <message>
        <source>文件总数   </source>
        <translation>Files   </translation>
    </message>
    <message>
        <source>更多精品工具-Tamsel网     </source>
        <translation>More tools - Tamsel     </translation>
    </message>
    <message>
        <source>下载 Ctrl+D</source>
        <translation>Download Ctrl+D</translation>
    </message>
    <message>
        <source>打开</source>
        <translation>Open</translation>
    </message>
    <message>
        <source>连同依赖文件</source>
        <translation>With their files</translation>
    </message>
    <message>
        <source>选择保存目录</source>
        <translation>Choose the output folder</translation>
    </message>
    <message>
        <source>无法打开文件夹，它在 </source>
        <translation>Cannot open the folder; it is at </translation>
    </message>
    <message>
        <source>抓取失败   </source>
        <translation>Grab failed   </translation>
    </message>
    <message>
        <source>总数</source>
        <translation>Total </translation>
    </message>
    <message>
        <source>总数0，无框架页  </source>
        <translation>Total 0, no frames  </translation>
    </message>
    <message>
        <source>总数0，框架页%1个  </source>
        <translation>Total 0, %1 frame pages  </translation>
    </message>
    <message>
        <source>抓取失败：</source>
        <translation>Grab failed: </translation>
    </message>
    <message>
        <source>已停止  </source>
        <translation>Stopped  </translation>
    </message>
    <message>
        <source>正在下载  </source>
        <translation>Downloading  </translation>
    </message>
    <message>
        <source>正在下载 %1/%2  </source>
        <translation>Downloading %1/%2  </translation>
    </message>
    <message>
        <source>下载成功  </source>
        <translation>Download complete  </translation>
    </message>
    <message>
        <source>下载结束：成功 %1，失败 %2  </source>
        <translation>Download finished: %1 saved, %2 failed  </translation>
    </message>
    <message>
        <source>依赖文件 %1 个，缺失 %2 个  </source>
        <translation>Dependent files: %1 saved, %2 missing  </translation>
    </message>
    <message>
        <source>（播放器安装文件 %1 个未保存，无需保存）  </source>
        <translation>(%1 player installer not saved, none needed)  </translation>
    </message>
    <message>
        <source>下载中 %1%</source>
        <translation>Downloading %1%</translation>
    </message>
    <message>
        <source>播放器安装文件</source>
        <translation>Player installer</translation>
    </message>
    <message>
        <source>等待</source>
        <translation>Waiting</translation>
    </message>
    <message>
        <source>已保存 %1</source>
        <translation>saved %1</translation>
    </message>
    <message>
        <source>缺失 %1：%2</source>
        <translation>missing %1: %2</translation>
    </message>
    <message>
        <source>下载中</source>
        <translation>Downloading</translation>
    </message>
    <message>
        <source>已停止</source>
        <translation>Stopped</translation>
    </message>
    <message>
        <source>已保存</source>
        <translation>Saved</translation>
    </message>
    <message>
        <source>已保存，缺失依赖 %1</source>
        <translation>Saved, %1 dependent files missing</translation>
    </message>
    <message>
        <source>播放器安装文件，未保存</source>
        <translation>Player installer, not saved</translation>
    </message>
    <message>
        <source>失败：</source>
        <translation>Failed: </translation>
    </message>
</context>
<context>
    <name>TPreviewOrigin</name>
    <message>
        <source>正在载入影片…</source>
        <translation>Loading the movie…</translation>
    </message>
</context>
<context>
    <name>TTransferControls</name>
    <message>
        <source>停止</source>
        <translation>Stop</translation>
    </message>
</context>
</TS>
