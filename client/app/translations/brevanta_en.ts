<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="zh_CN">
  <context>
    <name>brevanta</name>
    <message>
      <source> 上</source>
      <translation>Up</translation>
    </message>
    <message>
      <source>%1 画面</source>
      <translation>%1 panes</translation>
    </message>
    <message>
      <source>%1 起，已 %2 秒</source>
      <translation>Since %1, for %2 s</translation>
    </message>
    <message>
      <source>(0-63,推荐32)</source>
      <translation>(0-63, 32 recommended)</translation>
    </message>
    <message>
      <source>0～16个字符</source>
      <translation>0-16 characters</translation>
    </message>
    <message>
      <source>1 画面</source>
      <translation>1 pane</translation>
    </message>
    <message>
      <source>16 画面</source>
      <translation>16 panes</translation>
    </message>
    <message>
      <source>1～12个字符</source>
      <translation>1-12 characters</translation>
    </message>
    <message>
      <source>1～12个字符 （注意：你是作为管理员登录，管理员名字一经注册不可修改）</source>
      <translation>1 to 12 characters (note: you log in as the administrator; the administrator's name cannot be changed once registered)</translation>
    </message>
    <message>
      <source>4 画面</source>
      <translation>4 panes</translation>
    </message>
    <message>
      <source>4～16个字符</source>
      <translation>4-16 characters</translation>
    </message>
    <message>
      <source>9 画面</source>
      <translation>9 panes</translation>
    </message>
    <message>
      <source>AAC编码失败：</source>
      <translation>AAC encoding failed: </translation>
    </message>
    <message>
      <source>Brevanta 版本 1.0</source>
      <translation>Brevanta version 1.0</translation>
    </message>
    <message>
      <source>D1显示</source>
      <translation>D1</translation>
    </message>
    <message>
      <source>IP地址</source>
      <translation>IP address</translation>
    </message>
    <message>
      <source>P2P 穿透</source>
      <translation>P2P traversal</translation>
    </message>
    <message>
      <source>P2P 连接超时</source>
      <translation>P2P connection timed out</translation>
    </message>
    <message>
      <source>© 2026 Brevanta 开发组</source>
      <translation>© 2026 The Brevanta developers</translation>
    </message>
    <message>
      <source>一条巡航轨迹必须由两个以上续航点组成
!</source>
      <translation>A cruise path must have at least two points!</translation>
    </message>
    <message>
      <source>一条巡航轨迹最多80个巡航点!</source>
      <translation>A cruise path holds at most 80 points!</translation>
    </message>
    <message>
      <source>上一页</source>
      <translation>Previous page</translation>
    </message>
    <message>
      <source>上一页 / 下一页</source>
      <translation>Previous page / next page</translation>
    </message>
    <message>
      <source>下</source>
      <translation>Down</translation>
    </message>
    <message>
      <source>下一页</source>
      <translation>Next page</translation>
    </message>
    <message>
      <source>不能删除文件:%1!</source>
      <translation>Cannot delete the file: %1!</translation>
    </message>
    <message>
      <source>中转</source>
      <translation>Relay</translation>
    </message>
    <message>
      <source>事件内容</source>
      <translation>Event</translation>
    </message>
    <message>
      <source>事件日志</source>
      <translation>Event log</translation>
    </message>
    <message>
      <source>云台信息</source>
      <translation>PTZ settings</translation>
    </message>
    <message>
      <source>云台控制</source>
      <translation>PTZ control</translation>
    </message>
    <message>
      <source>云台速度:</source>
      <translation>PTZ speed:</translation>
    </message>
    <message>
      <source>亮  度</source>
      <translation>Brightness</translation>
    </message>
    <message>
      <source>亮度、色度、对比度调节及恢复默认</source>
      <translation>Brightness, hue and contrast adjustment and reset</translation>
    </message>
    <message>
      <source>伸</source>
      <translation>Zoom out</translation>
    </message>
    <message>
      <source>位置：%1</source>
      <translation>Position: %1</translation>
    </message>
    <message>
      <source>保存</source>
      <translation>Save</translation>
    </message>
    <message>
      <source>保存rs485参数失败</source>
      <translation>Failed to save the RS-485 settings</translation>
    </message>
    <message>
      <source>保存参数</source>
      <translation>Save settings</translation>
    </message>
    <message>
      <source>保存失败</source>
      <translation>Save failed</translation>
    </message>
    <message>
      <source>保存成功</source>
      <translation>Saved</translation>
    </message>
    <message>
      <source>保存日志</source>
      <translation>Save log</translation>
    </message>
    <message>
      <source>保存路径</source>
      <translation>Folders</translation>
    </message>
    <message>
      <source>信号中断</source>
      <translation>Signal lost</translation>
    </message>
    <message>
      <source>修改</source>
      <translation>Change</translation>
    </message>
    <message>
      <source>修改名称</source>
      <translation>Rename</translation>
    </message>
    <message>
      <source>修改密码</source>
      <translation>Change password</translation>
    </message>
    <message>
      <source>修改速度</source>
      <translation>Set speed</translation>
    </message>
    <message>
      <source>停   留:</source>
      <translation>Dwell:</translation>
    </message>
    <message>
      <source>停止</source>
      <translation>Stop</translation>
    </message>
    <message>
      <source>停止位</source>
      <translation>Stop bits</translation>
    </message>
    <message>
      <source>停止保存</source>
      <translation>Stop saving</translation>
    </message>
    <message>
      <source>停止查找</source>
      <translation>Stop search</translation>
    </message>
    <message>
      <source>停止预览</source>
      <translation>Stop preview</translation>
    </message>
    <message>
      <source>停留时间</source>
      <translation>Dwell time</translation>
    </message>
    <message>
      <source>偶校验</source>
      <translation>Even</translation>
    </message>
    <message>
      <source>光圈减小</source>
      <translation>Close the iris</translation>
    </message>
    <message>
      <source>光圈增大</source>
      <translation>Open the iris</translation>
    </message>
    <message>
      <source>全部</source>
      <translation>All</translation>
    </message>
    <message>
      <source>全部删除</source>
      <translation>Delete all</translation>
    </message>
    <message>
      <source>全部通道</source>
      <translation>All channels</translation>
    </message>
    <message>
      <source>关于 Brevanta</source>
      <translation>About Brevanta</translation>
    </message>
    <message>
      <source>关于 Tavimor(&amp;A)...</source>
      <translation>&amp;About Tavimor...</translation>
    </message>
    <message>
      <source>关闭</source>
      <translation>Close</translation>
    </message>
    <message>
      <source>关闭声音</source>
      <translation>Sound off</translation>
    </message>
    <message>
      <source>内存不足</source>
      <translation>Out of memory</translation>
    </message>
    <message>
      <source>写入MP4文件失败：</source>
      <translation>Writing the MP4 file failed: </translation>
    </message>
    <message>
      <source>减</source>
      <translation>-</translation>
    </message>
    <message>
      <source>分</source>
      <translation>min</translation>
    </message>
    <message>
      <source>分屏数</source>
      <translation>Panes</translation>
    </message>
    <message>
      <source>分钟</source>
      <translation>min</translation>
    </message>
    <message>
      <source>分钟的范围在0 -- 60之间!</source>
      <translation>Minutes must be between 0 and 60!</translation>
    </message>
    <message>
      <source>初始化SDK失败！</source>
      <translation>The SDK could not be initialised!</translation>
    </message>
    <message>
      <source>删除</source>
      <translation>Delete</translation>
    </message>
    <message>
      <source>删除文件%1成功</source>
      <translation>Deleted %1</translation>
    </message>
    <message>
      <source>删除服务器</source>
      <translation>Delete server</translation>
    </message>
    <message>
      <source>删除点</source>
      <translation>Delete point</translation>
    </message>
    <message>
      <source>删除用户</source>
      <translation>Delete user</translation>
    </message>
    <message>
      <source>前端名称</source>
      <translation>Device name</translation>
    </message>
    <message>
      <source>功能</source>
      <translation>Action</translation>
    </message>
    <message>
      <source>北纬%1° 东经%2° %3km/h</source>
      <translation>N %1° E %2° %3 km/h</translation>
    </message>
    <message>
      <source>北纬%1° 西经%2° %3km/h</source>
      <translation>N %1° W %2° %3 km/h</translation>
    </message>
    <message>
      <source>单帧前进</source>
      <translation>Frame forward</translation>
    </message>
    <message>
      <source>单帧后退</source>
      <translation>Frame back</translation>
    </message>
    <message>
      <source>南纬%1° 东经%2° %3km/h</source>
      <translation>S %1° E %2° %3 km/h</translation>
    </message>
    <message>
      <source>南纬%1° 西经%2° %3km/h</source>
      <translation>S %1° W %2° %3 km/h</translation>
    </message>
    <message>
      <source>原始密码输入错误！</source>
      <translation>The old password is wrong!</translation>
    </message>
    <message>
      <source>原始密码：</source>
      <translation>Old password:</translation>
    </message>
    <message>
      <source>原密码</source>
      <translation>Old password</translation>
    </message>
    <message>
      <source>参数保存成功!</source>
      <translation>Settings saved!</translation>
    </message>
    <message>
      <source>取消</source>
      <translation>Cancel</translation>
    </message>
    <message>
      <source>可连接电话</source>
      <translation>Allowed caller</translation>
    </message>
    <message>
      <source>右上</source>
      <translation>Up right</translation>
    </message>
    <message>
      <source>右下</source>
      <translation>Down right</translation>
    </message>
    <message>
      <source>名   称:</source>
      <translation>Name:</translation>
    </message>
    <message>
      <source>名称</source>
      <translation>Name</translation>
    </message>
    <message>
      <source>向上</source>
      <translation>Up</translation>
    </message>
    <message>
      <source>向下</source>
      <translation>Down</translation>
    </message>
    <message>
      <source>向右</source>
      <translation>Right</translation>
    </message>
    <message>
      <source>向左</source>
      <translation>Left</translation>
    </message>
    <message>
      <source>否</source>
      <translation>No</translation>
    </message>
    <message>
      <source>启动/停止连续录像</source>
      <translation>Start/stop continuous recording</translation>
    </message>
    <message>
      <source>启动程序时确认身份</source>
      <translation>Log in at program start</translation>
    </message>
    <message>
      <source>启动预录</source>
      <translation>Pre-recording</translation>
    </message>
    <message>
      <source>回放</source>
      <translation>Playback</translation>
    </message>
    <message>
      <source>图片抓取文件保存路径</source>
      <translation>Folder for snapshots</translation>
    </message>
    <message>
      <source>在线抓图</source>
      <translation>Snapshot</translation>
    </message>
    <message>
      <source>增</source>
      <translation>+</translation>
    </message>
    <message>
      <source>增加服务器</source>
      <translation>Add server</translation>
    </message>
    <message>
      <source>复制</source>
      <translation>Copy</translation>
    </message>
    <message>
      <source>复制到所有通道</source>
      <translation>Copy to all channels</translation>
    </message>
    <message>
      <source>复制该设置至</source>
      <translation>Copy these settings to</translation>
    </message>
    <message>
      <source>复合流</source>
      <translation>Video and audio</translation>
    </message>
    <message>
      <source>多窗口全屏</source>
      <translation>All panes full screen</translation>
    </message>
    <message>
      <source>大</source>
      <translation>Iris close</translation>
    </message>
    <message>
      <source>奇校验</source>
      <translation>Odd</translation>
    </message>
    <message>
      <source>完成</source>
      <translation>Done</translation>
    </message>
    <message>
      <source>实时性中,流畅性中</source>
      <translation>Balanced delay and smoothness</translation>
    </message>
    <message>
      <source>实时性好</source>
      <translation>Lowest delay</translation>
    </message>
    <message>
      <source>实时性较好</source>
      <translation>Low delay</translation>
    </message>
    <message>
      <source>实时流</source>
      <translation>Live stream</translation>
    </message>
    <message>
      <source>客户端录像硬盘驱动器已满，无法继续录像!</source>
      <translation>The client's recording drives are full; recording cannot continue!</translation>
    </message>
    <message>
      <source>密  码:</source>
      <translation>Password:</translation>
    </message>
    <message>
      <source>密码不匹配！</source>
      <translation>Wrong password!</translation>
    </message>
    <message>
      <source>密码不匹配，重新输入！</source>
      <translation>The passwords do not match, please enter them again!</translation>
    </message>
    <message>
      <source>密码不能为空</source>
      <translation>The password cannot be empty</translation>
    </message>
    <message>
      <source>密码修改</source>
      <translation>Change password</translation>
    </message>
    <message>
      <source>密码只能为数字，请输入有效的密码!</source>
      <translation>The password may contain digits only. Please enter a valid password!</translation>
    </message>
    <message>
      <source>密码应在4～16位之间！</source>
      <translation>The password must be 4 to 16 characters!</translation>
    </message>
    <message>
      <source>密码错误</source>
      <translation>Wrong password</translation>
    </message>
    <message>
      <source>密码：</source>
      <translation>Password:</translation>
    </message>
    <message>
      <source>对不起,您无权限进行这项操作</source>
      <translation>Sorry, you have no right to do this</translation>
    </message>
    <message>
      <source>对不起，你无权限进行这项操作!</source>
      <translation>Sorry, you have no right to do this!</translation>
    </message>
    <message>
      <source>对不起，您无权限进行该操作！</source>
      <translation>Sorry, you have no right to do this!</translation>
    </message>
    <message>
      <source>对比度</source>
      <translation>Contrast</translation>
    </message>
    <message>
      <source>对讲</source>
      <translation>Talkback</translation>
    </message>
    <message>
      <source>导出MP4</source>
      <translation>Export MP4</translation>
    </message>
    <message>
      <source>导出失败：%1</source>
      <translation>Export failed: %1</translation>
    </message>
    <message>
      <source>导出完成：%1</source>
      <translation>Export finished: %1</translation>
    </message>
    <message>
      <source>导出完成：%1（已跳过损坏的数据%2字节）</source>
      <translation>Export finished: %1 (skipped %2 bytes of damaged data)</translation>
    </message>
    <message>
      <source>小</source>
      <translation>Iris open</translation>
    </message>
    <message>
      <source>小时的范围在0 -- 24之间!</source>
      <translation>Hours must be between 0 and 24!</translation>
    </message>
    <message>
      <source>巡航点:</source>
      <translation>Cruise point:</translation>
    </message>
    <message>
      <source>巡航路径:</source>
      <translation>Cruise path:</translation>
    </message>
    <message>
      <source>左上</source>
      <translation>Up left</translation>
    </message>
    <message>
      <source>左下</source>
      <translation>Down left</translation>
    </message>
    <message>
      <source>已取消</source>
      <translation>Cancelled</translation>
    </message>
    <message>
      <source>布防/撤防</source>
      <translation>Arm/Disarm</translation>
    </message>
    <message>
      <source>布防/撤防（周边/区域）</source>
      <translation>Arm/disarm (perimeter/zone)</translation>
    </message>
    <message>
      <source>布防/撤防（车内/室内）</source>
      <translation>Arm/disarm (in-vehicle/indoor)</translation>
    </message>
    <message>
      <source>布防撤防</source>
      <translation>Arm and disarm</translation>
    </message>
    <message>
      <source>帧率</source>
      <translation>Frame rate</translation>
    </message>
    <message>
      <source>帧率：%1 帧/秒   码率：%2 kbit/s</source>
      <translation>Frame rate: %1 fps   Bit rate: %2 kbit/s</translation>
    </message>
    <message>
      <source>广播</source>
      <translation>Broadcast</translation>
    </message>
    <message>
      <source>序列号，手机号不匹配，或设备不在线</source>
      <translation>Serial number and phone number do not match, or the device is offline</translation>
    </message>
    <message>
      <source>序列号：</source>
      <translation>Serial number:</translation>
    </message>
    <message>
      <source>开关量报警时</source>
      <translation>On sensor alarm</translation>
    </message>
    <message>
      <source>开启声音</source>
      <translation>Sound on</translation>
    </message>
    <message>
      <source>开始</source>
      <translation>Start</translation>
    </message>
    <message>
      <source>开始循环</source>
      <translation>Start cycling</translation>
    </message>
    <message>
      <source>开始播放</source>
      <translation>Play</translation>
    </message>
    <message>
      <source>开始时间</source>
      <translation>Start time</translation>
    </message>
    <message>
      <source>当前用户列表</source>
      <translation>Current users</translation>
    </message>
    <message>
      <source>当前用户：</source>
      <translation>Current user:</translation>
    </message>
    <message>
      <source>录像</source>
      <translation>Recording</translation>
    </message>
    <message>
      <source>录像写入失败</source>
      <translation>Recording write failed</translation>
    </message>
    <message>
      <source>录像失败!</source>
      <translation>Recording failed!</translation>
    </message>
    <message>
      <source>录像时间</source>
      <translation>Recording time</translation>
    </message>
    <message>
      <source>录像时间不能超过24:00!</source>
      <translation>Recording time cannot be later than 24:00!</translation>
    </message>
    <message>
      <source>录像时间不能重复!</source>
      <translation>Recording periods cannot overlap!</translation>
    </message>
    <message>
      <source>录像流</source>
      <translation>Recording stream</translation>
    </message>
    <message>
      <source>录像设置</source>
      <translation>Recording settings</translation>
    </message>
    <message>
      <source>录像起始时间不能大于录像停止时间!</source>
      <translation>The recording start time cannot be later than the stop time!</translation>
    </message>
    <message>
      <source>录像起始驱动器</source>
      <translation>First recording drive</translation>
    </message>
    <message>
      <source>循环录像</source>
      <translation>Cyclic recording</translation>
    </message>
    <message>
      <source>循环播放</source>
      <translation>Cycle play</translation>
    </message>
    <message>
      <source>循环播放时间</source>
      <translation>Cycle time</translation>
    </message>
    <message>
      <source>快捷键</source>
      <translation>Shortcuts</translation>
    </message>
    <message>
      <source>快放</source>
      <translation>Fast</translation>
    </message>
    <message>
      <source>恢复画面缩放</source>
      <translation>Reset the picture zoom</translation>
    </message>
    <message>
      <source>恢复默认值</source>
      <translation>Restore defaults</translation>
    </message>
    <message>
      <source>您已经登录！</source>
      <translation>You are already logged in!</translation>
    </message>
    <message>
      <source>您无权进行此操作！</source>
      <translation>You are not allowed to do this!</translation>
    </message>
    <message>
      <source>您是首次进入该系统，请填写登录信息</source>
      <translation>First start: please enter the login details</translation>
    </message>
    <message>
      <source>您确定要删除用户%1吗？</source>
      <translation>Are you sure you want to delete user %1?</translation>
    </message>
    <message>
      <source>慢放</source>
      <translation>Slow</translation>
    </message>
    <message>
      <source>手动录像</source>
      <translation>Manual recording</translation>
    </message>
    <message>
      <source>打开</source>
      <translation>Open</translation>
    </message>
    <message>
      <source>打开声音</source>
      <translation>Sound on</translation>
    </message>
    <message>
      <source>抓图</source>
      <translation>Snapshot</translation>
    </message>
    <message>
      <source>抓图失败!</source>
      <translation>Snapshot failed!</translation>
    </message>
    <message>
      <source>抓图成功 %1!</source>
      <translation>Snapshot saved: %1</translation>
    </message>
    <message>
      <source>报警</source>
      <translation>Alarm</translation>
    </message>
    <message>
      <source>报警上传时网络异常!!!</source>
      <translation>Network error during alarm upload!!!</translation>
    </message>
    <message>
      <source>报警声音选择:</source>
      <translation>Alarm sound:</translation>
    </message>
    <message>
      <source>报警持续时间:</source>
      <translation>Alarm duration:</translation>
    </message>
    <message>
      <source>报警设置</source>
      <translation>Alarm settings</translation>
    </message>
    <message>
      <source>报警输出</source>
      <translation>Alarm output</translation>
    </message>
    <message>
      <source>按住时转动选中窗口的云台</source>
      <translation>Hold to turn the selected pane's PTZ</translation>
    </message>
    <message>
      <source>按键</source>
      <translation>Key</translation>
    </message>
    <message>
      <source>播放</source>
      <translation>Play</translation>
    </message>
    <message>
      <source>播放列表</source>
      <translation>Play list</translation>
    </message>
    <message>
      <source>播放失败</source>
      <translation>Playback failed</translation>
    </message>
    <message>
      <source>播放设置</source>
      <translation>Playback settings</translation>
    </message>
    <message>
      <source>操作菜单</source>
      <translation>Actions</translation>
    </message>
    <message>
      <source>放弃</source>
      <translation>Cancel</translation>
    </message>
    <message>
      <source>故障：%1</source>
      <translation>Failure: %1</translation>
    </message>
    <message>
      <source>数据位</source>
      <translation>Data bits</translation>
    </message>
    <message>
      <source>整个星期</source>
      <translation>Whole week</translation>
    </message>
    <message>
      <source>文件中没有可播放的视频</source>
      <translation>The file has no playable video</translation>
    </message>
    <message>
      <source>文件中没有完整的视频帧</source>
      <translation>The file has no complete video frame</translation>
    </message>
    <message>
      <source>文件名称</source>
      <translation>File name</translation>
    </message>
    <message>
      <source>文件大小为0!</source>
      <translation>The file is empty!</translation>
    </message>
    <message>
      <source>文件夹</source>
      <translation>Folder</translation>
    </message>
    <message>
      <source>文件打包时间</source>
      <translation>File length</translation>
    </message>
    <message>
      <source>文件查找结束!</source>
      <translation>File search finished!</translation>
    </message>
    <message>
      <source>文件查询</source>
      <translation>File search</translation>
    </message>
    <message>
      <source>文件类型</source>
      <translation>File type</translation>
    </message>
    <message>
      <source>新密码</source>
      <translation>New password</translation>
    </message>
    <message>
      <source>新密码确认：</source>
      <translation>Confirm new password:</translation>
    </message>
    <message>
      <source>新密码：</source>
      <translation>New password:</translation>
    </message>
    <message>
      <source>方向键</source>
      <translation>Arrow keys</translation>
    </message>
    <message>
      <source>无</source>
      <translation>None</translation>
    </message>
    <message>
      <source>无定位信息</source>
      <translation>No position</translation>
    </message>
    <message>
      <source>无校验</source>
      <translation>None</translation>
    </message>
    <message>
      <source>无法与前端%1 对话!
</source>
      <translation>Cannot talk to device %1!
</translation>
    </message>
    <message>
      <source>无法保存MP4文件：</source>
      <translation>Cannot save the MP4 file: </translation>
    </message>
    <message>
      <source>无法写入MP4文件：</source>
      <translation>Cannot write the MP4 file: </translation>
    </message>
    <message>
      <source>无法创建MP4文件：</source>
      <translation>Cannot create the MP4 file: </translation>
    </message>
    <message>
      <source>无法启动预览!</source>
      <translation>Cannot start the preview!</translation>
    </message>
    <message>
      <source>无法打开AAC编码器：</source>
      <translation>Cannot open the AAC encoder: </translation>
    </message>
    <message>
      <source>无法打开H.264解码器</source>
      <translation>Cannot open the H.264 decoder</translation>
    </message>
    <message>
      <source>无法打开录像文件</source>
      <translation>Cannot open the recording file</translation>
    </message>
    <message>
      <source>无法获取当前目录!</source>
      <translation>Cannot get the current folder!</translation>
    </message>
    <message>
      <source>无法识别视频的画面大小</source>
      <translation>Cannot tell the video's picture size</translation>
    </message>
    <message>
      <source>日志信息</source>
      <translation>Device log</translation>
    </message>
    <message>
      <source>日志文件保存路径</source>
      <translation>Folder for log files</translation>
    </message>
    <message>
      <source>日志文件创建失败!</source>
      <translation>The log file could not be created!</translation>
    </message>
    <message>
      <source>日期</source>
      <translation>Day</translation>
    </message>
    <message>
      <source>时</source>
      <translation>h</translation>
    </message>
    <message>
      <source>时间</source>
      <translation>Time</translation>
    </message>
    <message>
      <source>时间段%1</source>
      <translation>Period %1</translation>
    </message>
    <message>
      <source>时间设置</source>
      <translation>Schedule</translation>
    </message>
    <message>
      <source>星期一</source>
      <translation>Monday</translation>
    </message>
    <message>
      <source>星期三</source>
      <translation>Wednesday</translation>
    </message>
    <message>
      <source>星期二</source>
      <translation>Tuesday</translation>
    </message>
    <message>
      <source>星期五</source>
      <translation>Friday</translation>
    </message>
    <message>
      <source>星期六</source>
      <translation>Saturday</translation>
    </message>
    <message>
      <source>星期四</source>
      <translation>Thursday</translation>
    </message>
    <message>
      <source>星期天</source>
      <translation>Sunday</translation>
    </message>
    <message>
      <source>是</source>
      <translation>Yes</translation>
    </message>
    <message>
      <source>显示 / 隐藏通道状态</source>
      <translation>Show / hide channel status</translation>
    </message>
    <message>
      <source>显示通道状态	Ctrl+I</source>
      <translation>Show channel status	Ctrl+I</translation>
    </message>
    <message>
      <source>普通用户</source>
      <translation>Ordinary user</translation>
    </message>
    <message>
      <source>景深拖近</source>
      <translation>Focus nearer</translation>
    </message>
    <message>
      <source>景深拖远</source>
      <translation>Focus farther</translation>
    </message>
    <message>
      <source>暂停</source>
      <translation>Pause</translation>
    </message>
    <message>
      <source>暂停 / 开始循环</source>
      <translation>Pause / start cycling</translation>
    </message>
    <message>
      <source>暂停循环</source>
      <translation>Pause cycling</translation>
    </message>
    <message>
      <source>更新失败...</source>
      <translation>Update failed...</translation>
    </message>
    <message>
      <source>更新成功...</source>
      <translation>Updated...</translation>
    </message>
    <message>
      <source>最多可添加512路,路数达到最大!</source>
      <translation>At most 512 channels can be added: the limit is reached!</translation>
    </message>
    <message>
      <source>最小化</source>
      <translation>Minimize</translation>
    </message>
    <message>
      <source>最小化及退出</source>
      <translation>Minimize and exit</translation>
    </message>
    <message>
      <source>服务器</source>
      <translation>Server</translation>
    </message>
    <message>
      <source>服务器列表</source>
      <translation>Server list</translation>
    </message>
    <message>
      <source>服务器名称</source>
      <translation>Server name</translation>
    </message>
    <message>
      <source>服务器状态</source>
      <translation>Server status</translation>
    </message>
    <message>
      <source>服务器管理</source>
      <translation>Server management</translation>
    </message>
    <message>
      <source>服务器：</source>
      <translation>Server:</translation>
    </message>
    <message>
      <source>未找到麦克风：只播放设备的声音，不发送语音</source>
      <translation>No microphone found: the device's sound plays, no voice is sent</translation>
    </message>
    <message>
      <source>本地录像计划表</source>
      <translation>Local recording schedule</translation>
    </message>
    <message>
      <source>本地文件</source>
      <translation>Local files</translation>
    </message>
    <message>
      <source>本地文件检索、回放</source>
      <translation>Local file search and playback</translation>
    </message>
    <message>
      <source>本地设置</source>
      <translation>Local settings</translation>
    </message>
    <message>
      <source>查找</source>
      <translation>Search</translation>
    </message>
    <message>
      <source>查找服务器</source>
      <translation>Find server</translation>
    </message>
    <message>
      <source>查看日志</source>
      <translation>View log</translation>
    </message>
    <message>
      <source>查看通道视频</source>
      <translation>View channel video</translation>
    </message>
    <message>
      <source>校验</source>
      <translation>Parity</translation>
    </message>
    <message>
      <source>格式化硬盘</source>
      <translation>Format disk</translation>
    </message>
    <message>
      <source>正在与设备通信，请稍候...</source>
      <translation>Communicating with the device, please wait...</translation>
    </message>
    <message>
      <source>正在取消…</source>
      <translation>Cancelling...</translation>
    </message>
    <message>
      <source>正在对讲：麦克风的声音送往设备</source>
      <translation>Talking: the microphone's sound goes to the device</translation>
    </message>
    <message>
      <source>正在导出MP4…</source>
      <translation>Exporting MP4...</translation>
    </message>
    <message>
      <source>正在查找…</source>
      <translation>Searching...</translation>
    </message>
    <message>
      <source>正在查找…已找到%1个文件</source>
      <translation>Searching... %1 files found</translation>
    </message>
    <message>
      <source>正在连接</source>
      <translation>Connecting</translation>
    </message>
    <message>
      <source>正常</source>
      <translation>Normal</translation>
    </message>
    <message>
      <source>没有AAC编码器</source>
      <translation>No AAC encoder</translation>
    </message>
    <message>
      <source>没有H.264解码器</source>
      <translation>No H.264 decoder</translation>
    </message>
    <message>
      <source>波特率</source>
      <translation>Baud rate</translation>
    </message>
    <message>
      <source>流控</source>
      <translation>Flow control</translation>
    </message>
    <message>
      <source>流畅性好</source>
      <translation>Smoothest</translation>
    </message>
    <message>
      <source>流畅性较好</source>
      <translation>Smooth</translation>
    </message>
    <message>
      <source>流类型</source>
      <translation>Stream type</translation>
    </message>
    <message>
      <source>浏览</source>
      <translation>Browse</translation>
    </message>
    <message>
      <source>添加</source>
      <translation>Add</translation>
    </message>
    <message>
      <source>添加服务器</source>
      <translation>Add server</translation>
    </message>
    <message>
      <source>添加用户</source>
      <translation>Add user</translation>
    </message>
    <message>
      <source>清空路径</source>
      <translation>Clear path</translation>
    </message>
    <message>
      <source>焦距减小</source>
      <translation>Zoom out (shorter focal length)</translation>
    </message>
    <message>
      <source>焦距增大</source>
      <translation>Zoom in (longer focal length)</translation>
    </message>
    <message>
      <source>用户信息修改</source>
      <translation>Edit user</translation>
    </message>
    <message>
      <source>用户信息被破坏！</source>
      <translation>The user information is damaged!</translation>
    </message>
    <message>
      <source>用户列表：</source>
      <translation>Users:</translation>
    </message>
    <message>
      <source>用户名:</source>
      <translation>User name:</translation>
    </message>
    <message>
      <source>用户名不能为空！</source>
      <translation>The user name cannot be empty!</translation>
    </message>
    <message>
      <source>用户名不能含有 . / \ : 字符！</source>
      <translation>The user name cannot contain the characters . / \ :!</translation>
    </message>
    <message>
      <source>用户名不能超过12个字符！</source>
      <translation>The user name cannot be longer than 12 characters!</translation>
    </message>
    <message>
      <source>用户名和密码不能超过16个字符!</source>
      <translation>User name and password cannot exceed 16 characters!</translation>
    </message>
    <message>
      <source>用户名应该在12个字符以内！</source>
      <translation>The user name must be at most 12 characters!</translation>
    </message>
    <message>
      <source>用户名或密码错误，点击返回</source>
      <translation>Wrong user name or password</translation>
    </message>
    <message>
      <source>用户名或密码错误，点击返回！</source>
      <translation>Wrong user name or password!</translation>
    </message>
    <message>
      <source>用户名：</source>
      <translation>User name:</translation>
    </message>
    <message>
      <source>用户密码：</source>
      <translation>User password:</translation>
    </message>
    <message>
      <source>用户文件写入失败！</source>
      <translation>The user file could not be written!</translation>
    </message>
    <message>
      <source>用户文件被破坏，点击返回！</source>
      <translation>The user file is damaged!</translation>
    </message>
    <message>
      <source>用户管理</source>
      <translation>User management</translation>
    </message>
    <message>
      <source>用户级别：</source>
      <translation>User level:</translation>
    </message>
    <message>
      <source>由于网络原因或ORV忙, 注册失败!</source>
      <translation>Login failed: network problem or ORV busy!</translation>
    </message>
    <message>
      <source>电话号码：</source>
      <translation>Phone number:</translation>
    </message>
    <message>
      <source>画面分割</source>
      <translation>Screen split</translation>
    </message>
    <message>
      <source>画面数字缩放 / 平移</source>
      <translation>Digital zoom / pan of the picture</translation>
    </message>
    <message>
      <source>画面：%1 秒前</source>
      <translation>Picture: %1 s ago</translation>
    </message>
    <message>
      <source>画面：尚无</source>
      <translation>Picture: none yet</translation>
    </message>
    <message>
      <source>登录</source>
      <translation>Log in</translation>
    </message>
    <message>
      <source>登录名：</source>
      <translation>Login name:</translation>
    </message>
    <message>
      <source>监控点设置</source>
      <translation>Server management</translation>
    </message>
    <message>
      <source>直连</source>
      <translation>Direct</translation>
    </message>
    <message>
      <source>码率</source>
      <translation>Bit rate</translation>
    </message>
    <message>
      <source>码率(kbps)</source>
      <translation>Bit rate (kbps)</translation>
    </message>
    <message>
      <source>硬流控</source>
      <translation>Hardware</translation>
    </message>
    <message>
      <source>硬盘录像机校时</source>
      <translation>Sync recorder time at</translation>
    </message>
    <message>
      <source>确定</source>
      <translation>OK</translation>
    </message>
    <message>
      <source>确定修改</source>
      <translation>Apply changes</translation>
    </message>
    <message>
      <source>确定删除所有文件吗?</source>
      <translation>Delete all files?</translation>
    </message>
    <message>
      <source>确定删除此文件吗?</source>
      <translation>Delete this file?</translation>
    </message>
    <message>
      <source>确定要退出吗?</source>
      <translation>Do you really want to exit?</translation>
    </message>
    <message>
      <source>确实要删除该视频服务器吗?</source>
      <translation>Do you really want to delete this video server?</translation>
    </message>
    <message>
      <source>确认密码</source>
      <translation>Confirm password</translation>
    </message>
    <message>
      <source>确认密码与新密码不相符!</source>
      <translation>The confirmation does not match the new password!</translation>
    </message>
    <message>
      <source>确认密码错误，请检查确认密码后重新输入！</source>
      <translation>The confirmation does not match, please check it and enter it again!</translation>
    </message>
    <message>
      <source>确认密码：</source>
      <translation>Confirm password:</translation>
    </message>
    <message>
      <source>秒</source>
      <translation>s</translation>
    </message>
    <message>
      <source>移动侦测弹出窗口</source>
      <translation>Pop up on motion detection</translation>
    </message>
    <message>
      <source>移动侦测报警录像</source>
      <translation>Record on motion alarm</translation>
    </message>
    <message>
      <source>移动视频监控客户端</source>
      <translation>Mobile video surveillance client</translation>
    </message>
    <message>
      <source>空格</source>
      <translation>Space</translation>
    </message>
    <message>
      <source>管理员密码</source>
      <translation>Administrator password</translation>
    </message>
    <message>
      <source>管理员密码错误！</source>
      <translation>Wrong administrator password!</translation>
    </message>
    <message>
      <source>管理员密码错误，点击返回！</source>
      <translation>Wrong administrator password!</translation>
    </message>
    <message>
      <source>管理员登录</source>
      <translation>Administrator login</translation>
    </message>
    <message>
      <source>管理权限：</source>
      <translation>Rights:</translation>
    </message>
    <message>
      <source>类型</source>
      <translation>Type</translation>
    </message>
    <message>
      <source>类型选择</source>
      <translation>Mode</translation>
    </message>
    <message>
      <source>系统提示</source>
      <translation>System message</translation>
    </message>
    <message>
      <source>系统校时</source>
      <translation>Sync time</translation>
    </message>
    <message>
      <source>系统管理员</source>
      <translation>Administrator</translation>
    </message>
    <message>
      <source>系统菜单</source>
      <translation>System menu</translation>
    </message>
    <message>
      <source>系统设置</source>
      <translation>System settings</translation>
    </message>
    <message>
      <source>系统配置</source>
      <translation>Settings</translation>
    </message>
    <message>
      <source>终止驱动器</source>
      <translation>Last drive</translation>
    </message>
    <message>
      <source>结束时间</source>
      <translation>End time</translation>
    </message>
    <message>
      <source>编   号:</source>
      <translation>Number:</translation>
    </message>
    <message>
      <source>缩</source>
      <translation>Zoom in</translation>
    </message>
    <message>
      <source>网络中断</source>
      <translation>Network interrupted</translation>
    </message>
    <message>
      <source>网络中断，正在重新连接…</source>
      <translation>Network interrupted, reconnecting…</translation>
    </message>
    <message>
      <source>网络预览时网络异常!!!</source>
      <translation>Network error during live preview!!!</translation>
    </message>
    <message>
      <source>联系方式不能超过16个字符！</source>
      <translation>The contact cannot be longer than 16 characters!</translation>
    </message>
    <message>
      <source>联系方式：</source>
      <translation>Contact:</translation>
    </message>
    <message>
      <source>自动录像</source>
      <translation>Auto recording</translation>
    </message>
    <message>
      <source>色  度</source>
      <translation>Hue</translation>
    </message>
    <message>
      <source>色度、亮度、对比度调节及恢复默认</source>
      <translation>Hue, brightness and contrast adjustment and reset</translation>
    </message>
    <message>
      <source>获取服务器列表</source>
      <translation>Get server list</translation>
    </message>
    <message>
      <source>获取状态</source>
      <translation>Get status</translation>
    </message>
    <message>
      <source>行业标准</source>
      <translation>Industry standard</translation>
    </message>
    <message>
      <source>视频信息</source>
      <translation>Video settings</translation>
    </message>
    <message>
      <source>视频回放</source>
      <translation>Playback</translation>
    </message>
    <message>
      <source>视频格式</source>
      <translation>Video format</translation>
    </message>
    <message>
      <source>视频流</source>
      <translation>Video</translation>
    </message>
    <message>
      <source>视频浏览</source>
      <translation>Preview</translation>
    </message>
    <message>
      <source>视频类型</source>
      <translation>Video type</translation>
    </message>
    <message>
      <source>解码器地址</source>
      <translation>Decoder address</translation>
    </message>
    <message>
      <source>解码器类型</source>
      <translation>Decoder type</translation>
    </message>
    <message>
      <source>解锁屏幕</source>
      <translation>Unlock the screen</translation>
    </message>
    <message>
      <source>警告</source>
      <translation>Warning</translation>
    </message>
    <message>
      <source>警告!</source>
      <translation>Warning!</translation>
    </message>
    <message>
      <source>设备 %1 失去连接</source>
      <translation>Device %1 lost the connection</translation>
    </message>
    <message>
      <source>设备 %1 恢复连接</source>
      <translation>Device %1 connected again</translation>
    </message>
    <message>
      <source>设备:%1%2</source>
      <translation>Device %1: %2</translation>
    </message>
    <message>
      <source>设备SIM卡号</source>
      <translation>Device SIM number</translation>
    </message>
    <message>
      <source>设备信息</source>
      <translation>Device information</translation>
    </message>
    <message>
      <source>设备名称</source>
      <translation>Device name</translation>
    </message>
    <message>
      <source>设备回连</source>
      <translation>Device connects back</translation>
    </message>
    <message>
      <source>设备在其它端口重新登录</source>
      <translation>The device logged in again on another port</translation>
    </message>
    <message>
      <source>设备序列号</source>
      <translation>Device serial number</translation>
    </message>
    <message>
      <source>设备配置</source>
      <translation>Device configuration</translation>
    </message>
    <message>
      <source>设置</source>
      <translation>Set</translation>
    </message>
    <message>
      <source>设置失败</source>
      <translation>Setting failed</translation>
    </message>
    <message>
      <source>设置成功</source>
      <translation>Set successfully</translation>
    </message>
    <message>
      <source>设置预置位</source>
      <translation>Set presets</translation>
    </message>
    <message>
      <source>访问IP:%1 通道%2 录像写入失败,录像已停止</source>
      <translation>IP %1 channel %2: recording write failed, recording stopped</translation>
    </message>
    <message>
      <source>访问IP:%1 通道%2 连接启动失败 dwErr = %3</source>
      <translation>IP %1 channel %2: connection start failed, dwErr = %3</translation>
    </message>
    <message>
      <source>该文件已存在，是否覆盖原来的文件?</source>
      <translation>The file exists already. Overwrite it?</translation>
    </message>
    <message>
      <source>该编号预置点已存在</source>
      <translation>A preset with this number already exists</translation>
    </message>
    <message>
      <source>语音对讲</source>
      <translation>Talkback</translation>
    </message>
    <message>
      <source>语音对讲时网络异常!!!</source>
      <translation>Network error during talkback!!!</translation>
    </message>
    <message>
      <source>请停止循环播放!</source>
      <translation>Please stop cycling first!</translation>
    </message>
    <message>
      <source>请先停止网络预览,然后再从播放列表中移开!</source>
      <translation>Stop the live preview before removing it from the play list!</translation>
    </message>
    <message>
      <source>请关闭预览再删除该视频服务器</source>
      <translation>Close the preview before deleting this video server</translation>
    </message>
    <message>
      <source>请输入6位新的密码!</source>
      <translation>Please enter a 6-digit new password!</translation>
    </message>
    <message>
      <source>请输入6位的原密码!</source>
      <translation>Please enter the 6-digit old password!</translation>
    </message>
    <message>
      <source>请输入6位确认密码!</source>
      <translation>Please enter the 6-digit confirmation password!</translation>
    </message>
    <message>
      <source>请输入一个介于%1和%2之间的整数。</source>
      <translation>Please enter an integer between %1 and %2.</translation>
    </message>
    <message>
      <source>请输入密码!</source>
      <translation>Please enter the password!</translation>
    </message>
    <message>
      <source>请选择ORV</source>
      <translation>Select an ORV</translation>
    </message>
    <message>
      <source>请选择ORV!</source>
      <translation>Please select an ORV!</translation>
    </message>
    <message>
      <source>请选择ORV"</source>
      <translation>Please select an ORV</translation>
    </message>
    <message>
      <source>请选择您要操作的对象</source>
      <translation>Please select a user first</translation>
    </message>
    <message>
      <source>请选择文件保存路径!</source>
      <translation>Please choose the folders!</translation>
    </message>
    <message>
      <source>请选择文件的保存路径</source>
      <translation>Choose where to save the file</translation>
    </message>
    <message>
      <source>请选择用户名！</source>
      <translation>Please select a user name!</translation>
    </message>
    <message>
      <source>请选择登录用户</source>
      <translation>Select a user</translation>
    </message>
    <message>
      <source>请选择要对讲的服务器和通道！</source>
      <translation>Please choose the server and channel to talk to!</translation>
    </message>
    <message>
      <source>请选择要播放的文件!</source>
      <translation>Please select a file to play!</translation>
    </message>
    <message>
      <source>请选择视频服务器</source>
      <translation>Choose a video server</translation>
    </message>
    <message>
      <source>请选择视频服务器!</source>
      <translation>Please choose a video server!</translation>
    </message>
    <message>
      <source>请首先停止其他播放！</source>
      <translation>Please stop other playback first!</translation>
    </message>
    <message>
      <source>请首先登录服务器！</source>
      <translation>Please log in to the server first!</translation>
    </message>
    <message>
      <source>起始驱动器和终止驱动器不匹配!</source>
      <translation>The first and last drives do not match!</translation>
    </message>
    <message>
      <source>超过最大服务器数，请先删除再添加！</source>
      <translation>Too many servers: delete one before adding another!</translation>
    </message>
    <message>
      <source>跳至</source>
      <translation>Go to</translation>
    </message>
    <message>
      <source>车辆位置</source>
      <translation>Vehicle position</translation>
    </message>
    <message>
      <source>软流控</source>
      <translation>Software</translation>
    </message>
    <message>
      <source>输入的密码不匹配！</source>
      <translation>The passwords do not match!</translation>
    </message>
    <message>
      <source>输入的密码太弱，请重新输入</source>
      <translation>The password is too weak, please enter another one</translation>
    </message>
    <message>
      <source>运行</source>
      <translation>Run</translation>
    </message>
    <message>
      <source>近</source>
      <translation>Focus near</translation>
    </message>
    <message>
      <source>远</source>
      <translation>Focus far</translation>
    </message>
    <message>
      <source>远程升级</source>
      <translation>Remote upgrade</translation>
    </message>
    <message>
      <source>远程升级、重启、格式化</source>
      <translation>Remote upgrade, restart, format</translation>
    </message>
    <message>
      <source>远程布防</source>
      <translation>Remote arming</translation>
    </message>
    <message>
      <source>远程按键</source>
      <translation>Remote keys</translation>
    </message>
    <message>
      <source>远程文件下载保存路径</source>
      <translation>Folder for remote downloads</translation>
    </message>
    <message>
      <source>远程文件检索、回放</source>
      <translation>Remote file search and playback</translation>
    </message>
    <message>
      <source>远程配置</source>
      <translation>Remote configuration</translation>
    </message>
    <message>
      <source>连接超时，设备离线</source>
      <translation>Connection timed out, device offline</translation>
    </message>
    <message>
      <source>连接：%1</source>
      <translation>Connection: %1</translation>
    </message>
    <message>
      <source>退出</source>
      <translation>Exit</translation>
    </message>
    <message>
      <source>退出全屏；未全屏时恢复画面缩放</source>
      <translation>Leave full screen; otherwise reset the picture zoom</translation>
    </message>
    <message>
      <source>退出系统</source>
      <translation>Exit</translation>
    </message>
    <message>
      <source>选中窗口全屏 / 退出全屏</source>
      <translation>Selected pane full screen / leave full screen</translation>
    </message>
    <message>
      <source>选择服务器</source>
      <translation>Server</translation>
    </message>
    <message>
      <source>透明通道传输时网络异常!!!</source>
      <translation>Network error on the transparent channel!!!</translation>
    </message>
    <message>
      <source>通过域名添加</source>
      <translation>Add by domain name</translation>
    </message>
    <message>
      <source>通过鉴权添加</source>
      <translation>Add by authentication</translation>
    </message>
    <message>
      <source>通道</source>
      <translation>Channel</translation>
    </message>
    <message>
      <source>通道%1</source>
      <translation>Channel %1</translation>
    </message>
    <message>
      <source>通道%1:%2</source>
      <translation>Channel %1: %2</translation>
    </message>
    <message>
      <source>通道号</source>
      <translation>Channel</translation>
    </message>
    <message>
      <source>通道号：</source>
      <translation>Channel:</translation>
    </message>
    <message>
      <source>通道名称</source>
      <translation>Channel name</translation>
    </message>
    <message>
      <source>速   度:</source>
      <translation>Speed:</translation>
    </message>
    <message>
      <source>速度</source>
      <translation>Speed</translation>
    </message>
    <message>
      <source>遮挡报警时</source>
      <translation>On tamper alarm</translation>
    </message>
    <message>
      <source>配置已修改,是否保存？</source>
      <translation>The settings have changed. Save them?</translation>
    </message>
    <message>
      <source>配置服务器</source>
      <translation>Configure server</translation>
    </message>
    <message>
      <source>采用硬解压</source>
      <translation>Use hardware decoding</translation>
    </message>
    <message>
      <source>重新启动</source>
      <translation>Restart</translation>
    </message>
    <message>
      <source>重连：%1 次</source>
      <translation>Reconnects: %1</translation>
    </message>
    <message>
      <source>鉴权IP</source>
      <translation>Auth IP</translation>
    </message>
    <message>
      <source>鉴权IP：</source>
      <translation>Authentication IP:</translation>
    </message>
    <message>
      <source>鉴权服务器出错</source>
      <translation>Authentication server error</translation>
    </message>
    <message>
      <source>鉴权服务器发送出错,请重试</source>
      <translation>Authentication server send error, please try again</translation>
    </message>
    <message>
      <source>鉴权服务器忙</source>
      <translation>Authentication server busy</translation>
    </message>
    <message>
      <source>鉴权端口</source>
      <translation>Auth port</translation>
    </message>
    <message>
      <source>鉴权端口：</source>
      <translation>Authentication port:</translation>
    </message>
    <message>
      <source>锁定</source>
      <translation>Lock</translation>
    </message>
    <message>
      <source>锁定屏幕</source>
      <translation>Lock screen</translation>
    </message>
    <message>
      <source>错误的请求</source>
      <translation>Bad request</translation>
    </message>
    <message>
      <source>非法的文件打包时间!</source>
      <translation>Invalid file length!</translation>
    </message>
    <message>
      <source>非法的端口号</source>
      <translation>Invalid port number</translation>
    </message>
    <message>
      <source>音  量</source>
      <translation>Volume</translation>
    </message>
    <message>
      <source>音量</source>
      <translation>Volume</translation>
    </message>
    <message>
      <source>音频流</source>
      <translation>Audio</translation>
    </message>
    <message>
      <source>预录文件时间</source>
      <translation>Pre-record time</translation>
    </message>
    <message>
      <source>预置位设置</source>
      <translation>Preset settings</translation>
    </message>
    <message>
      <source>预置点</source>
      <translation>Preset</translation>
    </message>
    <message>
      <source>预置点保存失败!</source>
      <translation>Failed to save the presets!</translation>
    </message>
    <message>
      <source>预置点及云台速度设置</source>
      <translation>Presets and PTZ speed</translation>
    </message>
    <message>
      <source>预置点名称不能超过31个字符!</source>
      <translation>A preset name may not exceed 31 characters!</translation>
    </message>
    <message>
      <source>预置点编号须在1-127之间!</source>
      <translation>The preset number must be between 1 and 127!</translation>
    </message>
    <message>
      <source>预览</source>
      <translation>Preview</translation>
    </message>
    <message>
      <source>预览时网络重连!!!</source>
      <translation>Network reconnect during preview!!!</translation>
    </message>
    <message>
      <source>饱和度</source>
      <translation>Saturation</translation>
    </message>
    <message>
      <source>默认值</source>
      <translation>Defaults</translation>
    </message>
    <message>
      <source>鼠标滚轮 / 拖动</source>
      <translation>Mouse wheel / drag</translation>
    </message>
    <message>
      <source>（建议大于等于20秒）</source>
      <translation>(20 s or more recommended)</translation>
    </message>
  </context>
</TS>
